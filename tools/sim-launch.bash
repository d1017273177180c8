# Sourced by run-ide and run-programmer: checks the build, and starts a
# simulator that prints its pseudo-terminal's path as its first line, stopping
# it when the script exits.

# need_built TOOL FILE...: exits 1 naming the first file not built.
need_built() {
  local tool=$1 f
  shift
  for f in "$@"; do
    [ -x "$f" ] || { echo "$tool: $f is missing; build first (./dev build)" >&2; exit 1; }
  done
}

# make_scratch: sets work, a folder removed on exit with the simulator stopped.
make_scratch() {
  work=$(mktemp -d)
  sim_pid=""
  trap stop_sim EXIT INT TERM
}

stop_sim() {
  if [ -n "$sim_pid" ] && kill -0 "$sim_pid" 2>/dev/null; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}

# start_sim TOOL WHAT SIM [ARGS...]: starts SIM, sets sim_pid and pty; exits 1
# with the simulator's errors when it prints no path within five seconds.
start_sim() {
  local tool=$1 what=$2 sim=$3
  shift 3
  "$sim" "$@" >"$work/sim.out" 2>"$work/sim.err" &
  sim_pid=$!
  pty=""
  for _ in $(seq 1 100); do
    pty=$(head -n 1 "$work/sim.out" 2>/dev/null || true)
    [ -n "$pty" ] && break
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.05
  done
  if [ -z "$pty" ]; then
    echo "$tool: the simulated $what did not start:" >&2
    cat "$work/sim.err" >&2
    exit 1
  fi
}
