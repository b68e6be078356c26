#!/usr/bin/env bash
# `tarnwick serve` under load on loopback, against the same library calls
# made in-process (service_inprocess), and its streamed export against
# `tarnwick export` of the same list.
#
#   bench/service_bench.sh [BUILD_DIR]        (default: build)
#
# Needs wrk (scripts/install-deps.sh --bench), curl, sqlite3 (psql for a server), and the
# targets tarnwick-cli and service_inprocess built in BUILD_DIR.
#
# The office has TW_SERVICE_DOCUMENTS documents (default 1,000,000), built
# once into BUILD_DIR/bench/service-office-<n>.tarnwick and reused; with
# TW_SERVICE_ENGINE=server, under scripts/with-postgres.sh, it is built on
# that private server for the run instead. Each case
# runs wrk for TW_SERVICE_SECONDS (10) with 32 connections on 2 threads; the
# service runs with --threads TW_SERVICE_THREADS (its own default when unset).
#
# Cases and what each prints (requests/s, p50, p99, failed answers):
#   filing        GET /api/public/filings/{UniqueID}, live ids picked at random
#   document      GET /api/documents/{UniqueID} as a signed-in clerk
#   search-committee  GET /api/documents?committee=NAME, one committee's documents
#   search-year   GET /api/documents?committee=NAME&year=YEAR, a few of them
#   names         GET /api/public/names?q=FIRST LAST, its candidate's name
#   Goal: p99 <= 50 ms for the searches and names; for filing and document,
#   requests/s over the in-process calls/s >= 0.5 (printed against objects
#   kept per thread, and against new objects per call as each request makes).
#   export        the clerks' filed-reports CSV over every row (or those of the
#                 committee type TW_SERVICE_EXPORT_TYPE, e.g. CNC), once: bytes/s
#                 over `tarnwick export filed-reports` of the same list (goal
#                 >= 0.8); the service's peak resident size (VmHWM) over the
#                 loads, and its resident size and peak around the export.
set -euo pipefail

build="$(cd "${1:-build}" && pwd)"
cli="$build/cli/tarnwick"
inprocess="$build/bench/service_inprocess"
documents="${TW_SERVICE_DOCUMENTS:-1000000}"
seconds="${TW_SERVICE_SECONDS:-10}"
engine="${TW_SERVICE_ENGINE:-file}"
sql_tool=sqlite3
[ "$engine" = server ] && sql_tool=psql
for tool in wrk curl "$sql_tool" "$cli" "$inprocess"; do
  command -v "$tool" >/dev/null || { echo "service_bench: $tool is missing" >&2; exit 2; }
done

work="$(mktemp -d /tmp/tarnwick-service-bench.XXXXXX)"
server=""
finish() {
  if [ -n "$server" ]; then kill -TERM "$server" 2>/dev/null && wait "$server" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap finish EXIT

# The office: on the file, built once (under a temporary name, so that a
# build cut short is never taken for a finished one); on the server, for
# this run. office_args name it as the client's global options do.
start=$(date +%s.%N)
if [ "$engine" = server ]; then
  [ -n "${TARNWICK_PG_SOCKET:-}" ] || { echo "service_bench: run under scripts/with-postgres.sh" >&2; exit 2; }
  office=tw_service_bench
  pg="$TARNWICK_PG_SOCKET:$TARNWICK_PG_PORT"
  office_args=(--db "$office" --server "$pg" --user postgres --trusted)
  "$cli" init --server "$pg" --database "$office" --user postgres --trusted --sample "$documents" >&2
  query() { psql -h "$TARNWICK_PG_SOCKET" -p "$TARNWICK_PG_PORT" -U postgres -d "$office" -At -F '|' -c "$1"; }
  inprocess_office=(TW_SERVICE_DB="$office" TW_SERVICE_SERVER="$pg" TW_SERVICE_USER=postgres TW_SERVICE_TRUSTED=1)
else
  office="$build/bench/service-office-$documents.tarnwick"
  office_args=(--db "$office")
  if [ ! -f "$office" ]; then
    "$cli" init "$office.part" --sample "$documents" >&2
    mv "$office.part" "$office"
  fi
  query() { sqlite3 "$office" "$1"; }
  inprocess_office=(TW_SERVICE_DB="$office")
fi
printf "office of %s documents ready in %.1f s\n" "$documents" "$(echo "$(date +%s.%N) - $start" | bc)" >&2
tw() { "$cli" "${office_args[@]}" "$@"; }

clerk=benchclerk
password="bench clerk password"
if ! tw users list | grep -qw "$clerk"; then
  echo "$password" | tw users add "$clerk" --role clerk --password-stdin >/dev/null
fi

# What the cases ask for, read from the office: live documents at random;
# a committee with a current candidate, its official name and a year it filed in.
query "select unique_id from ref_document where delete_date is null order by random() limit 20000" >"$work/ids.txt"
IFS='|' read -r committee first last year < <(query \
  "select c.org_name, na.first_name, na.last_name, d.doc_year from org_committee c
     join ref_org o on o.group_id = c.org_group_id
     join org_officers f on f.org_group_id = c.org_group_id and f.name_type_code = 'CND' and f.trans_end_date is null
     join org_name_address na on na.unique_id = f.entity_id
     join xrf_org_document x on x.org_id = o.unique_id join ref_document d on d.unique_id = x.document_id
   where c.trans_end_date is null and d.delete_date is null and d.doc_year is not null
   order by o.group_id desc limit 1")

# The service, on a free port of loopback.
threads=()
[ -n "${TW_SERVICE_THREADS:-}" ] && threads=(--threads "$TW_SERVICE_THREADS")
"$cli" "${office_args[@]}" serve --listen 127.0.0.1:0 "${threads[@]}" >"$work/serve.out" 2>"$work/access.log" &
server=$!
for _ in $(seq 100); do
  grep -q "listening on" "$work/serve.out" 2>/dev/null && break
  sleep 0.1
done
base="$(sed -n 's/^listening on //p' "$work/serve.out")"
[ -n "$base" ] || { echo "service_bench: the service did not start" >&2; exit 1; }

curl -sf -c "$work/jar" -H 'Content-Type: application/json' \
  -d "{\"user\":\"$clerk\",\"password\":\"$password\"}" "$base/api/login" >/dev/null
cookie="$(awk '!/^#/ || /^#HttpOnly_/ { if (NF >= 7) print $6 "=" $7 }' "$work/jar" | head -n 1)"

# Requests for the documents of TW_IDS (in random order) under TW_PREFIX;
# each of wrk's threads starts at its own place in the list.
cat >"$work/ids.lua" <<'EOF'
local ids, prefix = {}, os.getenv("TW_PREFIX")
for line in io.lines(os.getenv("TW_IDS")) do ids[#ids + 1] = line end
at = 0
local threads = 0
function setup(thread) threads = threads + 1; thread:set("at", threads * 7919) end
function request()
  at = at + 1
  return wrk.format("GET", prefix .. ids[at % #ids + 1])
end
EOF

# A query value with every byte but letters and digits %-encoded.
uri() {
  local LC_ALL=C text="$1" out="" c i
  for ((i = 0; i < ${#text}; i++)); do
    c="${text:i:1}"
    case "$c" in [a-zA-Z0-9]) out+="$c" ;; *) out+="$(printf '%%%02X' "'$c")" ;; esac
  done
  printf %s "$out"
}

# wrk's figures as "rps p50_ms p99_ms failed".
figures() {
  awk '
    function ms(t) { if (t ~ /us$/) return t / 1000; if (t ~ /ms$/) return t + 0; if (t ~ /s$/) return t * 1000; return t }
    $1 == "50%" { p50 = ms($2) } $1 == "99%" { p99 = ms($2) }
    /^Requests\/sec:/ { rps = $2 } /Non-2xx/ { failed += $NF }
    /Socket errors/ { gsub(",", ""); failed += $4 + $6 + $8 + $10 }
    END { printf "%.0f %.2f %.2f %d\n", rps, p50, p99, failed }' "$1"
}

# Waits (up to a minute) until the service uses no processor time: when wrk
# stops, the requests it had sent are still being answered, and would be
# counted against the next case.
settle() {
  local before after
  for _ in $(seq 120); do
    before="$(awk '{ print $14 + $15 }' "/proc/$server/stat")"
    sleep 0.5
    after="$(awk '{ print $14 + $15 }' "/proc/$server/stat")"
    [ $((after - before)) -le 2 ] && return
  done
}

declare -A rps
load() {  # load CASE PATH [wrk options...]
  local case="$1" path="$2"
  shift 2
  # A slow answer is waited for (not counted a timeout after wrk's 2 s), so that p99 is its time.
  wrk -t2 -c32 -d"${seconds}s" --timeout 30s --latency "$@" "$base$path" >"$work/$case.wrk"
  read -r rps["$case"] p50 p99 failed < <(figures "$work/$case.wrk")
  settle
  if [ "${rps[$case]}" = 0 ]; then
    echo "$case: no answer within the ${seconds} s"
  else
    printf '%-16s %9s req/s  p50 %8s ms  p99 %8s ms  failed %s\n' "$case" "${rps[$case]}" "$p50" "$p99" "$failed"
  fi
}

echo "office: $office ($engine, $documents documents); service $base; wrk 32 connections, 2 threads, ${seconds} s"
TW_IDS="$work/ids.txt" TW_PREFIX="/api/public/filings/" load filing / -s "$work/ids.lua"
TW_IDS="$work/ids.txt" TW_PREFIX="/api/documents/" load document / -s "$work/ids.lua" -H "Cookie: $cookie"
# The search form with the committee's name alone, and with the year too.
for search in "search-committee:committee=$(uri "$committee")" "search-year:committee=$(uri "$committee")&year=$year"; do
  path="/api/documents?${search#*:}"
  echo "${search%%:*}: $path ($(curl -sf -b "$work/jar" "$base$path" | grep -o '"UniqueID"' | wc -l) documents)"
  load "${search%%:*}" "$path" -H "Cookie: $cookie"
done
names="/api/public/names?q=$(uri "$first $last")"
echo "names: $names ($(curl -sf "$base$names" | grep -o '"OrgID"' | wc -l) committees)"
load names "$names"

# The export: the service's answer timed by curl, the command timed alone.
# The service's peak resident size is read after the loads above, then set
# back to its resident size (clear_refs), so that the peak after the export
# is the export's own.
status() { awk -v key="$1:" '$1 == key { print $2 / 1024 }' "/proc/$server/status"; }
hwm_loads="$(status VmHWM)" rss_before="$(status VmRSS)"
echo 5 >"/proc/$server/clear_refs"
type="${TW_SERVICE_EXPORT_TYPE:-}"
read -r code service_bytes service_s < <(curl -s -b "$work/jar" -o "$work/service.csv" \
  -w '%{http_code} %{size_download} %{time_total}\n' "$base/api/exports/filed-reports.csv${type:+?committee_type=$type}")
hwm_export="$(status VmHWM)" rss_after="$(status VmRSS)"
# A refused export is said, with the office's reason, and timed all the same.
[ "$code" = 200 ] || echo "export    the service answered $code after $service_s s: $(cat "$work/service.csv")"
start=$(date +%s.%N)
tw export filed-reports ${type:+--committee-type "$type"} -o "$work/cli.csv" >/dev/null || true
cli_s="$(echo "$(date +%s.%N) - $start" | bc)"
cli_bytes="$(stat -c %s "$work/cli.csv" 2>/dev/null || echo 0)"
cmp -s "$work/service.csv" "$work/cli.csv" && same=same || same=DIFFERENT
awk -v sb="$service_bytes" -v ss="$service_s" -v cb="$cli_bytes" -v cs="$cli_s" -v same="$same" \
    -v type="$type" -v loads="$hwm_loads" -v before="$rss_before" -v peak="$hwm_export" -v after="$rss_after" 'BEGIN {
  printf "export%s service %.1f MB in %.2f s (%.1f MB/s), command %.1f MB in %.2f s (%.1f MB/s), ratio %.2f, files %s\n",
         (type == "" ? "" : " " type), sb / 1048576, ss, sb / 1048576 / ss, cb / 1048576, cs, cb / 1048576 / cs,
         (cb > 0 ? (sb / ss) / (cb / cs) : 0), same
  printf "service memory: peak (VmHWM) %.1f MB over the loads; resident %.1f MB before the export, " \
         "peak %.1f MB during it (%.1f MB above), resident %.1f MB after\n", loads, before, peak, peak - before, after }'

# The same reads in-process: 32 threads, objects of their own.
echo "in-process (service_inprocess, 32 threads):"
env "${inprocess_office[@]}" TW_SERVICE_IDS="$work/ids.txt" "$inprocess" --benchmark_format=csv 2>/dev/null \
  >"$work/inprocess.csv"
inprocess_rate() {  # the calls_per_s of a benchmark's row
  awk -F, -v name="$1" 'NR == 1 { for (i = 1; i <= NF; i++) if ($i == "\"calls_per_s\"" || $i == "calls_per_s") c = i }
                        index($1, name) { print $c }' "$work/inprocess.csv"
}
for pair in filing:BM_PublicFiling document:BM_ClerkDocument; do
  case="${pair%%:*}" bench="${pair#*:}"
  kept="$(inprocess_rate "$bench/fresh:0/")" fresh="$(inprocess_rate "$bench/fresh:1/")"
  awk -v c="$case" -v s="${rps[$case]}" -v k="$kept" -v f="$fresh" 'BEGIN {
    printf "%-16s in-process %.0f calls/s (objects kept), %.0f (new objects per call); service/in-process %.2f and %.2f\n",
           c, k, f, s / k, s / f }'
done
