#!/usr/bin/env bash
# `tidewatcher launch "Quorvex: 12-34-56"` end to end: the command, copied into a
# launcher folder of its own with the reference client, reaches the system through
# tidewatcher-sim's discovery service, relay server and gateway on a loopback
# address named by TIDEWATCHER_DISCOVERY_HOST and TIDEWATCHER_RELAY_HOST, prints
# every status line and leaves quorvex_start_Log.txt in its current folder. Runs
# only inside the private network: the name "Quorvex" is looked up first.
#
# usage: remote_launch_command_test.sh TIDEWATCHER TIDEWATCHER_SIM TIDEWATCHER_CLIENT
set -euo pipefail
tidewatcher=$1
sim=$2
client=$3

work=$(mktemp -d /tmp/tw-remote-command-XXXXXX)
sim_pid=
stop_sim() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=
  fi
}
trap 'stop_sim; rm -rf "$work"' EXIT

mkdir -p "$work/launcher/5_2_738_0" "$work/run"
cp "$tidewatcher" "$work/launcher/tidewatcher"
cp "$client" "$work/launcher/5_2_738_0/CLEARSLATE.EXE"

# An address of this run's own: 127.64.0.0/10 split by process id.
address=127.$((64 + ($$ >> 16) % 64)).$((($$ >> 8) & 255)).$(($$ & 255))
system="Quorvex: 12-34-56"
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# start_sim [OPTION]...: the gateway on port 4000, the discovery service on 500 and
# the relay on 7576 of $address.
start_sim() {
  "$sim" --bind "$address" --port 4000 --no-discovery --name "$system" \
    --discovery-service "$address" --relay "$address" "$@" >"$work/sim.out" 2>&1 &
  sim_pid=$!
  for _ in $(seq 100); do
    grep -q "relay server on" "$work/sim.out" && return 0
    sleep 0.05
  done
  echo "tidewatcher-sim did not start:" >&2
  cat "$work/sim.out" >&2
  exit 1
}

# run_launch: runs the command; $status, $lines (status lines without their time).
run_launch() {
  rm -f "$work/run/quorvex_start_Log.txt"
  status=0
  (cd "$work/run" && env TIDEWATCHER_DISCOVERY_HOST="$address" TIDEWATCHER_RELAY_HOST="$address" \
    TIDEWATCHER_CLIENT_EXIT_AFTER_MS=300 XDG_RUNTIME_DIR="$work" \
    "$work/launcher/tidewatcher" launch --password secret "$system") >"$work/out" 2>"$work/err" || status=$?
  lines=$(grep -E '^[0-9]{2}:[0-9]{2}:[0-9]{2} ' "$work/out" | cut -c10-)
}

# check_log EXPECTED_LINES: the header, the empty line, one stamped line per status line.
check_log() {
  local log="$work/run/quorvex_start_Log.txt" expected=$1
  [ -f "$log" ] || { fail "no log file"; return; }
  head -n 1 "$log" | grep -qE "^[0-9]{2}/[0-9]{2}/[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2} Linkwell \($system\)"$'\r'"$" ||
    fail "log header: $(head -n 1 "$log")"
  [ "$(sed -n 2p "$log")" = $'\r' ] || fail "no empty line after the log header"
  local body
  body=$(tail -n +3 "$log" | tr -d '\r' | cut -c10-)
  [ "$body" = "$expected" ] || fail "log lines:"$'\n'"$body"
  ! tail -n +3 "$log" | grep -qvE '^[0-9]{2}:[0-9]{2}:[0-9]{2} .*'$'\r''$' || fail "a log line without its time"
}

discovery_lines="Discovery Service: $address:500
Connecting to Discovery Service...
Connected.
Sending GATEWAY remote connection request...
Remote connection authorized.
Found system at $address:4000."
login_lines="Connected to System, logging in...
Connection to System OK.
Getting Version Information...
Remote System Version is: 5.2 Build 738.0 Rel.
Verifying System Name
Running"

# Direct.
start_sim
run_launch
expected="$discovery_lines
Connecting to System at $address:4000...
$login_lines"
[ "$status" -eq 0 ] || fail "direct: exit status $status: $(cat "$work/err")"
[ "$lines" = "$expected"$'\n'"Ready" ] || fail "direct: status lines:"$'\n'"$lines"
grep -q "tidewatcher-client: system again\|tidewatcher-client: version 5.2 Build 738.0 Rel" "$work/out" ||
  fail "direct: the client did not work: $(cat "$work/out")"
check_log "$expected"
stop_sim

# Through the relay.
start_sim --lookup-relay
run_launch
expected="$discovery_lines
Relay mode is ON.
Connecting to Relay Server at $address:7576...
Connected to Relay Server.
Requesting Gateway connection...
$login_lines"
[ "$status" -eq 0 ] || fail "relayed: exit status $status: $(cat "$work/err")"
[ "$lines" = "$expected"$'\n'"Ready" ] || fail "relayed: status lines:"$'\n'"$lines"
grep -q "tidewatcher-client: version 5.2 Build 738.0 Rel" "$work/out" ||
  fail "relayed: the client did not work: $(cat "$work/out")"
check_log "$expected"
stop_sim

# A refused lookup: the command presses Cancel itself, and the log follows.
start_sim --lookup-error "Account suspended"
run_launch
expected="$discovery_lines"
expected=$(printf '%s\n' "$expected" | head -n 4)$'\n'"ERROR: Account suspended"
[ "$status" -eq 1 ] || fail "refused: exit status $status"
[ "$lines" = "$expected" ] || fail "refused: status lines:"$'\n'"$lines"
check_log "$expected"
stop_sim

if [ "$failures" -ne 0 ]; then
  echo "--- last output:" >&2
  cat "$work/out" "$work/err" >&2
  exit 1
fi
echo "remote launch command: direct, relayed and refused all as expected"
