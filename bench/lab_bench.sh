#!/usr/bin/env bash
# Forwarding 10,000 and 100,000 runs to a lab on loopback, then reading
# both labs with tarnwick-cli runs and export --all, with their
# time and peak memory. Starts a private PostgreSQL in a temporary folder
# (as the postgres user when run as root) and stops it at the end.
#   bench/lab_bench.sh [BUILD_DIR]    (default build/default)
set -euo pipefail
build=$(realpath "${1:-build/default}")
bin=$(pg_config --bindir 2>/dev/null || ls -d /usr/lib/postgresql/*/bin | tail -1)
dir=$(mktemp -d /tmp/tarnwick-labbench-XXXXXX)
as_server=()
if [[ $(id -u) -eq 0 ]]; then chown postgres "$dir"; as_server=(runuser -u postgres --); fi
stop() { "${as_server[@]}" "$bin/pg_ctl" -D "$dir/data" -m fast -w -s stop || true; rm -rf "$dir"; }
trap stop EXIT
"${as_server[@]}" "$bin/initdb" -D "$dir/data" -U tarnwick -A trust -E UTF8 --locale=C --no-sync >/dev/null
# TCP on loopback, as a lab on the network is reached.
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"${as_server[@]}" "$bin/pg_ctl" -D "$dir/data" -l "$dir/log" -w -s \
  -o "-c listen_addresses=127.0.0.1 -p $port -c unix_socket_directories=$dir" start
cli="$build/app/tarnwick-cli"
for n in 10000 100000; do
  lab="host=127.0.0.1 port=$port dbname=lab$n user=tarnwick"
  "${as_server[@]}" "$bin/createdb" -h "$dir" -p "$port" -U tarnwick "lab$n"
  "$cli" lab init --lab "$lab" >/dev/null
  "$build/bench/lab_bench" make-journal "$dir/j$n.sqlite" "$n"
  echo "$n runs:"; "$build/bench/lab_bench" forward "$dir/j$n.sqlite" "$lab"
done
for n in 10000 100000; do
 lab="host=127.0.0.1 port=$port dbname=lab$n user=tarnwick"
 for cmd in "runs" "export --all"; do
  /usr/bin/time -v "$cli" $cmd --journal "$lab" 2>"$dir/time" >"$dir/out"
  echo "$cmd over $n lab runs: $(wc -l <"$dir/out") lines," \
       "$(grep -E 'Elapsed' "$dir/time" | sed 's/.*): //') elapsed," \
       "$(grep -E 'Maximum resident' "$dir/time" | sed 's/.*: //') kB peak"
 done
done
