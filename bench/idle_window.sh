#!/usr/bin/env bash
# idle_window.sh BIN_FOLDER [SECONDS] [WARM_UP]
# The launcher's window left idle while it sweeps TIDEWATCHER_SUBNETS
# (127.0.2.1/23 when unset). Runs tidewatcher-connect on an Xvfb display of its
# own, lets it settle for WARM_UP seconds (default 3), then takes its CPU time
# (utime + stime of /proc/PID/stat, every thread) over SECONDS (default 20) as a
# share of one core, and its resident memory (VmRSS, peak VmHWM). Xvfb's own CPU
# is shown beside it, but is not the launcher's.
#
# Run it inside the private network namespace:
#   scripts/in-private-network bench/idle_window.sh build-bench/bin
set -eu

# Runs on the Xvfb display: starts the window, measures it, ends it.
measure() {
  local folder=$1 seconds=$2 warm_up=$3
  "$folder/tidewatcher-connect" 2>"$folder/stderr.txt" &
  local pid=$!
  sleep "$warm_up"
  if ! kill -0 "$pid" 2>/dev/null; then
    echo "tidewatcher-connect ended early:" >&2
    cat "$folder/stderr.txt" >&2
    return 1
  fi
  local tck; tck=$(getconf CLK_TCK)
  ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
  # Xvfb is the other child of xvfb-run, our parent.
  local xvfb; xvfb=$(pgrep -P "$PPID" -x Xvfb || true)
  local t0 x0 s0 t1 x1 s1
  t0=$(ticks "$pid"); x0=${xvfb:+$(ticks "$xvfb")}; s0=$(date +%s.%N)
  sleep "$seconds"
  t1=$(ticks "$pid"); x1=${xvfb:+$(ticks "$xvfb")}; s1=$(date +%s.%N)
  local sockets; sockets=$(find "/proc/$pid/fd" -lname 'socket:*' | wc -l)
  local rss hwm
  rss=$(awk '/^VmRSS:/ { printf "%.1f", $2 / 1024 }' "/proc/$pid/status")
  hwm=$(awk '/^VmHWM:/ { printf "%.1f", $2 / 1024 }' "/proc/$pid/status")
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  awk -v t="$((t1 - t0))" -v x="${x1:-0}" -v x0="${x0:-0}" -v hz="$tck" -v w0="$s0" -v w1="$s1" \
      -v rss="$rss" -v hwm="$hwm" -v sockets="$sockets" -v subnets="$TIDEWATCHER_SUBNETS" 'BEGIN {
    wall = w1 - w0; cpu = t / hz; percent = 100 * cpu / wall
    printf "tidewatcher-connect window idle under Xvfb, TIDEWATCHER_SUBNETS=%s, %d sockets open\n", subnets, sockets
    printf "CPU over %.1f s: %.2f s = %.2f%% of one core (target < 1%%: %s)\n", wall, cpu, percent, percent < 1 ? "met" : "MISSED"
    printf "resident: VmRSS %.1f MB, peak VmHWM %.1f MB (target < 30 MB: %s)\n", rss, hwm, rss < 30 ? "met" : "MISSED"
    if (x0 != 0) printf "(Xvfb meanwhile: %.2f%% of one core)\n", 100 * (x - x0) / hz / wall
  }'
}

# xvfb-run starts this script again, on its display, to measure from there.
if [ "${1:-}" = --inside ]; then
  shift
  measure "$@"
  exit
fi

bin=$(cd "${1:?usage: idle_window.sh BIN_FOLDER [SECONDS] [WARM_UP]}" && pwd)
seconds=${2:-20}
warm_up=${3:-3}
export TIDEWATCHER_SUBNETS=${TIDEWATCHER_SUBNETS:-127.0.2.1/23}

# A launcher folder and runtime folder of our own, so nothing in the build moves.
folder=$(mktemp -d /tmp/tw-bench-window-XXXXXX)
trap 'rm -rf "$folder"' EXIT
cp "$bin/tidewatcher-connect" "$folder/"
export XDG_RUNTIME_DIR=$folder
xvfb-run -a -s "-screen 0 1280x1024x24" "$(cd "$(dirname "$0")" && pwd)/$(basename "$0")" --inside \
  "$folder" "$seconds" "$warm_up"
