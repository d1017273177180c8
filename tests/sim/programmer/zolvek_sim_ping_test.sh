#!/usr/bin/env bash
# A plain script on zolvek-sim's pty gets the prompt answer.
# Usage: zolvek_sim_ping_test.sh ZOLVEK_SIM PING_SCRIPT
set -euo pipefail
sim=$1 ping=$2
out=$(mktemp)
"$sim" >"$out" &
pid=$!
trap 'kill $pid 2>/dev/null; wait $pid 2>/dev/null; rm -f "$out"' EXIT
for _ in $(seq 50); do [ -s "$out" ] && break; sleep 0.1; done
dev=$(head -n 1 "$out")
"$ping" "$dev" 9600 2
