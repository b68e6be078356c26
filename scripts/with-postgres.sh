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

dir="$(mktemp -d /tmp/tarnwick-pg.XXXXXX)"
if [ ${#as_owner[@]} -gt 0 ]; then chown postgres: "$dir"; fi
chmod 700 "$dir"
data="$dir/data"
log="$dir/server.log"

stop() {
  local code=$?
  if [ -f "$data/postmaster.pid" ]; then
    "${as_owner[@]}" "$bindir/pg_ctl" -D "$data" -m immediate -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$dir"
  exit "$code"
}
trap stop EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# A free port on loopback, asked of the kernel.
port="$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])' 2>/dev/null \
        || echo $((20000 + RANDOM % 20000)))"
password="tarnwick-$(od -An -N6 -tx1 /dev/urandom | tr -d ' \n')"

"${as_owner[@]}" "$bindir/initdb" -D "$data" -U postgres -E UTF8 --locale=C.UTF-8 \
  --auth-local=trust --auth-host=scram-sha-256 >"$dir/initdb.log" 2>&1 || {
  cat "$dir/initdb.log" >&2
  exit 1
}
cat >>"$data/postgresql.conf" <<EOF
listen_addresses = '127.0.0.1'
port = $port
unix_socket_directories = '$dir'
max_connections = 100
fsync = off
synchronous_commit = off
full_page_writes = off
EOF
"${as_owner[@]}" "$bindir/pg_ctl" -D "$data" -l "$log" -w -t 60 start >/dev/null || {
  cat "$log" >&2
  exit 1
}
"$bindir/psql" -h "$dir" -p "$port" -U postgres -d postgres -v ON_ERROR_STOP=1 -q \
  -c "create role tarnwick login createdb password '$password'" >/dev/null

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
