#!/usr/bin/env bash
# Runs a command with a private PostgreSQL cluster of its own, then stops it.
#
#   scripts/with-postgres.sh COMMAND [ARG...]
#
# The cluster lives in a new temporary folder (initdb), listens on a Unix
# socket in that folder and on 127.0.0.1 at a free port, and nowhere else. It is
# stopped and its folder removed on every way out: normal end, failure, Ctrl-C.
# The command's exit code is the script's.
#
# With TARNWICK_PG_KEEP=DIR the cluster is kept between runs instead: it lives
# in DIR/data (initdb only when there is none yet), and at the end it is
# stopped cleanly but not removed, so a large office built on it (the scale
# benchmark's) is there for the next run. Only one run may use DIR at a time.
#
# Two roles are made:
#   postgres   superuser, reached without a password through the socket
#              ("trusted": socket authentication)
#   tarnwick   may create databases; password TARNWICK_PG_PASSWORD, reached
#              over 127.0.0.1 with scram-sha-256 (a wrong password is refused)
#
# The command sees:
#   TARNWICK_PG_SOCKET    the socket folder (a server argument for the gateway)
#   TARNWICK_PG_PORT      the port, on the socket and on 127.0.0.1
#   TARNWICK_PG_HOST      127.0.0.1:PORT (a server argument for the gateway)
#   TARNWICK_PG_SUPERUSER postgres
#   TARNWICK_PG_USER      tarnwick
#   TARNWICK_PG_PASSWORD  its password
#   TARNWICK_PG_REQUIRED  1: tests that need the server fail, not skip, without it
#
# initdb refuses to run as root, so as root the cluster runs as the
# `postgres` user (made by Debian's postgresql package).
set -euo pipefail

if [ $# -eq 0 ]; then
  echo "usage: $0 COMMAND [ARG...]" >&2
  exit 2
fi

bindir=""
if command -v pg_config >/dev/null 2>&1; then bindir="$(pg_config --bindir)"; fi
if [ ! -x "$bindir/initdb" ]; then
  bindir="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)"
fi
if [ ! -x "$bindir/initdb" ]; then
  echo "with-postgres: no PostgreSQL server found (install postgresql)" >&2
  exit 2
fi

as_owner=()
if [ "$(id -u)" -eq 0 ]; then as_owner=(runuser -u postgres --); fi

keep="${TARNWICK_PG_KEEP:-}"
if [ -n "$keep" ]; then
  mkdir -p "$keep"
  dir="$(cd "$keep" && pwd)"
else
  dir="$(mktemp -d /tmp/tarnwick-pg.XXXXXX)"
fi
if [ ${#as_owner[@]} -gt 0 ]; then chown postgres: "$dir"; fi
chmod 700 "$dir"
data="$dir/data"
log="$dir/server.log"

if [ -n "$keep" ] && [ -f "$data/postmaster.pid" ] &&
   "${as_owner[@]}" "$bindir/pg_ctl" -D "$data" status >/dev/null 2>&1; then
  echo "with-postgres: the cluster in $dir is already running (another run uses it)" >&2
  exit 1
fi

# A temporary cluster is stopped at once and removed. A kept one is shut down
# cleanly (a checkpoint: fsync is off, so its files are only sound after one)
# and left in place.
stop() {
  local code=$?
  if [ -f "$data/postmaster.pid" ]; then
    if [ -n "$keep" ]; then
      "${as_owner[@]}" "$bindir/pg_ctl" -D "$data" -m fast -w -t 300 stop >/dev/null 2>&1 ||
        "${as_owner[@]}" "$bindir/pg_ctl" -D "$data" -m immediate -w stop >/dev/null 2>&1 || true
    else
      "${as_owner[@]}" "$bindir/pg_ctl" -D "$data" -m immediate -w stop >/dev/null 2>&1 || true
    fi
  fi
  if [ -z "$keep" ]; then rm -rf "$dir"; fi
  exit "$code"
}
trap stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# A free port on loopback, asked of the kernel.
port="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])' 2>/dev/null \
        || echo $((20000 + RANDOM % 20000)))"
password="tarnwick-$(od -An -N6 -tx1 /dev/urandom | tr -d ' \n')"

if [ ! -f "$data/PG_VERSION" ]; then
  "${as_owner[@]}" "$bindir/initdb" -D "$data" -U postgres -E UTF8 --locale=C.UTF-8 \
    --auth-local=trust --auth-host=scram-sha-256 >"$dir/initdb.log" 2>&1 || {
    cat "$dir/initdb.log" >&2
    exit 1
  }
  cat >>"$data/postgresql.conf" <<EOF
listen_addresses = '127.0.0.1'
port = $port
unix_socket_directories = '$dir'
# bench/office_load's 64 clerk processes hold two connections each.
max_connections = 200
fsync = off
synchronous_commit = off
full_page_writes = off
EOF
fi
# A kept cluster takes this run's free port (the one in its settings may be
# taken by now: the command line overrides postgresql.conf), and may need
# longer to start after a run that ended abruptly.
start_options=(-t 60)
if [ -n "$keep" ]; then start_options=(-t 300 -o "-p $port"); fi
"${as_owner[@]}" "$bindir/pg_ctl" -D "$data" -l "$log" -w "${start_options[@]}" start >/dev/null || {
  cat "$log" >&2
  exit 1
}
# The role is made once per cluster; each run gives it a new password.
role="login createdb password '$password'"
if [ -n "$("$bindir/psql" -h "$dir" -p "$port" -U postgres -d postgres -At \
          -c "select 1 from pg_roles where rolname = 'tarnwick'")" ]; then
  role_sql="alter role tarnwick $role"
else
  role_sql="create role tarnwick $role"
fi
"$bindir/psql" -h "$dir" -p "$port" -U postgres -d postgres -v ON_ERROR_STOP=1 -q -c "$role_sql" >/dev/null

export TARNWICK_PG_SOCKET="$dir"
export TARNWICK_PG_PORT="$port"
export TARNWICK_PG_HOST="127.0.0.1:$port"
export TARNWICK_PG_SUPERUSER=postgres
export TARNWICK_PG_USER=tarnwick
export TARNWICK_PG_PASSWORD="$password"
export TARNWICK_PG_REQUIRED=1
export PGCONNECT_TIMEOUT=10

set +e
"$@"
status=$?
set -e
exit "$status"
