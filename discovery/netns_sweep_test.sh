#!/usr/bin/env bash
# netns_sweep_test.sh DISCOVERY_PROBE TIDEWATCHER_SIM
# End to end: the launcher's discovery sweeps a real /24 and the simulated adapter on
# the far side of a veth pair answers, the subnet broadcast address included.
#
# Runs only inside the private network namespace that scripts/test (or
# scripts/in-private-network) provides, where loopback is the only link. There it
# makes two nested namespaces, the launcher's host and the far host, joined by a
# veth pair, so the namespace the other tests share never sees a link of ours.
# Everything sent stays on that pair. Exits 77 (skipped), saying why, where this
# cannot be done.
set -u
probe=$1
sim=$2
skip() { echo "SKIPPED: $*"; exit 77; }

links=$(ip -o link show 2>/dev/null | awk -F': ' '{print $2}' | grep -v '^lo$' || true)
if ! ip -o link show >/dev/null 2>&1; then skip "ip (iproute2) is not usable here"; fi
if [ -n "$links" ]; then
  skip "not inside a private network namespace (links besides lo: $(echo $links | tr '\n' ' '))"
fi

near=""
far=""
sim_pid=""
work=$(mktemp -d)
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  for host in $near $far; do kill "$host" 2>/dev/null && wait "$host" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

own_ns=$(readlink /proc/self/ns/net)
# A host: a network namespace kept alive by a sleeping process; prints its pid.
new_host() {
  unshare -n sleep 60 >/dev/null 2>&1 &
  local pid=$! ns=""
  for _ in $(seq 100); do
    ns=$(readlink /proc/$pid/ns/net 2>/dev/null || true)
    [ -n "$ns" ] && [ "$ns" != "$own_ns" ] && break
    sleep 0.05
  done
  [ -n "$ns" ] && [ "$ns" != "$own_ns" ] && echo "$pid"
}
near=$(new_host) || true
far=$(new_host) || true
[ -n "$near" ] && [ -n "$far" ] || skip "cannot make nested network namespaces"
in_near() { nsenter -t "$near" -n "$@"; }
in_far() { nsenter -t "$far" -n "$@"; }

ip link add va netns "$near" type veth peer name vb netns "$far" 2>/dev/null || skip "cannot make a veth pair"
in_near ip addr add 10.77.0.1/24 brd + dev va && in_near ip link set va up && in_near ip link set lo up ||
  skip "cannot configure the launcher's end"
in_far ip addr add 10.77.0.2/24 brd + dev vb && in_far ip link set vb up && in_far ip link set lo up &&
  in_far ip route add default dev vb || skip "cannot configure the far end"

# The adapter binds 0.0.0.0 to hear the broadcast: it is alone in its namespace.
name="Quorvex: 77-00-02"
nsenter -t "$far" -n "$sim" --bind 0.0.0.0 --port 8080 --name "$name" --log >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
for _ in $(seq 100); do
  grep -q "discovery answers" "$work/sim.out" 2>/dev/null && break
  sleep 0.05
done
grep -q "discovery answers" "$work/sim.out" || { cat "$work/sim.err"; echo "FAIL: the simulated adapter did not start"; exit 1; }

status=0
# The whole sweep with the real address table: lo is skipped, va's /24 is swept.
in_near "$probe" --seconds 3 >"$work/lines" 2>"$work/probe.err"
expected="$name (10.77.0.2:8080)"
if ! grep -qxF "$expected" "$work/lines"; then
  echo "FAIL: no line \"$expected\"; the list showed:"; cat "$work/lines"; status=1
fi
if [ "$(grep -cF "+ $expected" "$work/probe.err")" != 1 ]; then
  echo "FAIL: the line was not added exactly once"; cat "$work/probe.err"; status=1
fi
grep -q "^discovery_probe: 256 sockets" "$work/probe.err" || { echo "FAIL: not 256 sockets"; cat "$work/probe.err"; status=1; }

# The subnet broadcast address alone reaches the adapter, which answers from its own.
in_near "$probe" --target 10.77.0.255 --seconds 1 >"$work/broadcast" 2>&1
if ! grep -qxF "answer from 10.77.0.2: $name" "$work/broadcast"; then
  echo "FAIL: no answer to the request sent to 10.77.0.255:"; cat "$work/broadcast"; status=1
fi

if [ $status -eq 0 ]; then
  echo "PASS: \"$expected\" listed once; the broadcast address was answered"
else
  echo "--- simulated adapter's log"; cat "$work/sim.err"
fi
exit $status
