#!/usr/bin/env bash
# The tidewatcher command end to end against simulated systems on loopback:
# discover (lines and JSON), launch by a selected line, the usage errors.
# Usage: cli_test.sh BIN_FOLDER. Runs only inside a private network namespace.
set -u
bin=$1
if ip -o link show | awk -F': ' '{print $2}' | grep -qv '^lo$'; then
  echo "skipped: a network link other than lo is present; run inside scripts/test's private namespace"
  exit 77
fi

scratch=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

export XDG_RUNTIME_DIR=$scratch
export TIDEWATCHER_SUBNETS=127.0.1.1/24
unset DISPLAY

start_sim() {
  "$bin/tidewatcher-sim" "$@" >"$scratch/sim-$#-$RANDOM.out" 2>&1 &
  pids+=($!)
}
start_sim --bind 127.0.1.2 --port 5002 --name "Quorvex: 12-34-56" --gateway-type 1
start_sim --bind 127.0.1.3 --port 5003 --name "Quorvex: 65-43-21" --gateway-type 2
sleep 0.5

# discover: the list's lines in its order.
out=$("$bin/tidewatcher" discover --seconds 2) || fail "discover exited $?"
expected=$'Quorvex: 12-34-56 (127.0.1.2:5002)\nQuorvex: 65-43-21 (127.0.1.3:5003)'
[ "$out" = "$expected" ] || fail "discover printed: $out"

json=$("$bin/tidewatcher" discover --seconds 2 --json) || fail "discover --json exited $?"
echo "$json" | grep -q '"name": "Quorvex: 12-34-56", "address": "127.0.1.2", "port": 5002, "gatewayType": 1, "gatewaySubtype": 0' ||
  fail "discover --json printed: $json"
[ "$(echo "$json" | grep -c '"name"')" = 2 ] || fail "discover --json lines: $json"

# Nothing answering: an empty array.
empty=$(TIDEWATCHER_SUBNETS=127.0.7.1/30 "$bin/tidewatcher" discover --seconds 1 --json) || fail "empty discover exited $?"
[ "$(echo $empty)" = "[]" ] || fail "empty discover printed: $empty"

# launch: a launcher folder of its own, holding the command and the clients.
launcher=$scratch/launcher
mkdir -p "$launcher/5_2_738_0"
cp "$bin/tidewatcher" "$launcher/"
cp "$bin/5_2_738_0/CLEARSLATE.EXE" "$launcher/5_2_738_0/"
export TIDEWATCHER_CLIENT_EXIT_AFTER_MS=1000
export TIDEWATCHER_CLIENT_REPORT=$scratch/client.txt
(cd "$scratch" && "$launcher/tidewatcher" launch --select "quorvex: 65-43-21" --password secret --remember) \
  >"$scratch/launch.out" 2>"$scratch/launch.err"
status=$?
[ $status = 0 ] || fail "launch exited $status: $(cat "$scratch/launch.out" "$scratch/launch.err")"
for line in "Getting Version Information" "Remote System Version is: 5.2 Build 738.0 Rel" "Verifying System Name" \
            "Running" "Ready"; do
  grep -Eq "^[0-9]{2}:[0-9]{2}:[0-9]{2} $line\$" "$scratch/launch.out" || fail "no line \"$line\": $(cat "$scratch/launch.out")"
done
grep -q "system Quorvex: 65-43-21" "$scratch/client.txt" || fail "the client got no session: $(cat "$scratch/client.txt")"
[ -f "$launcher/LOGIN.DAT" ] || fail "no LOGIN.DAT beside the command"
grep -q "Quorvex: 65-43-21" "$launcher/LOGIN.DAT" || fail "LOGIN.DAT does not remember the system"

# A failed local launch: the message box goes to standard error, exit 1.
"$launcher/tidewatcher" launch --password secret 127.0.1.9:5009 >"$scratch/fail.out" 2>"$scratch/fail.err"
status=$?
[ $status = 1 ] || fail "failed launch exited $status"
grep -qx "tidewatcher: Connection Failed" "$scratch/fail.err" || fail "no message box line: $(cat "$scratch/fail.err")"

# --select with nobody of that name: exit 1 with a message.
"$launcher/tidewatcher" launch --select "Nobody" --discover-seconds 1 >/dev/null 2>"$scratch/none.err"
[ $? = 1 ] || fail "missing --select did not exit 1"
grep -q "Nobody" "$scratch/none.err" || fail "no message for a missing system"

# Usage errors.
for args in "discover --seconds" "discover --bogus" "launch --password" "frobnicate"; do
  "$bin/tidewatcher" $args >/dev/null 2>&1
  [ $? = 2 ] || fail "\"tidewatcher $args\" did not exit 2"
done
"$bin/tidewatcher" --help | grep -q "usage: tidewatcher" || fail "--help"
"$bin/tidewatcher" --version | grep -q "5.2 Build 738.0 Rel" || fail "--version"
echo "ok"
