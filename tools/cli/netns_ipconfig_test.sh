#!/usr/bin/env bash
# netns_ipconfig_test.sh TIDEWATCHER TIDEWATCHER_SIM
# End to end: `tidewatcher ipconfig` reads and sets the simulated adapter's IP
# configuration across a veth pair, 255.255.255.255 included (the query's first
# copy and two of the four sets go there).
#
# Runs only inside the private network namespace that scripts/test (or
# scripts/in-private-network) provides, where loopback is the only link. There it
# makes two nested namespaces, the launcher's host and the adapter's host, joined by
# a veth pair with a default route on each end, so the limited broadcast crosses the
# pair and goes nowhere else. Exits 77 (skipped), saying why, where this cannot be done.
set -u
tidewatcher=$1
sim=$2
skip() { echo "SKIPPED: $*"; exit 77; }

if ! ip -o link show >/dev/null 2>&1; then skip "ip (iproute2) is not usable here"; fi
links=$(ip -o link show 2>/dev/null | awk -F': ' '{print $2}' | grep -v '^lo$' || true)
if [ -n "$links" ]; then
  skip "not inside a private network namespace (links besides lo: $(echo $links | tr '\n' ' '))"
fi

near=""
far=""
sim_pid=""
work=$(mktemp -d)
stop_sim() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null; fi
  sim_pid=""
}
cleanup() {
  stop_sim
  for host in $near $far; do kill "$host" 2>/dev/null && wait "$host" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

own_ns=$(readlink /proc/self/ns/net)
# A host: a network namespace kept alive by a sleeping process; prints its pid.
new_host() {
  unshare -n sleep 120 >/dev/null 2>&1 &
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

ip link add ia netns "$near" type veth peer name ib netns "$far" 2>/dev/null || skip "cannot make a veth pair"
in_near ip addr add 10.78.0.1/24 brd + dev ia && in_near ip link set ia up && in_near ip link set lo up &&
  in_near ip route add default dev ia || skip "cannot configure the launcher's end"
# 10.78.0.3, added second, is the other adapter's; answers from the sim's own
# socket leave from 10.78.0.2, the subnet's first address.
in_far ip addr add 10.78.0.2/24 brd + dev ib && in_far ip addr add 10.78.0.3/24 dev ib &&
  in_far ip link set ib up && in_far ip link set lo up && in_far ip route add default dev ib ||
  skip "cannot configure the adapter's end"

name="Quorvex: 78-00-02"
# The adapter binds 0.0.0.0 to hear the broadcasts: it is alone in its namespace.
# nsenter itself becomes the sim (no shell between), so $! is the sim to stop.
start_sim() {
  nsenter -t "$far" -n "$sim" --bind 0.0.0.0 --port 8080 --name "$name" --adapter-ip 10.78.0.2 --adapter-mask 255.255.255.0 \
    --adapter-gateway 10.78.0.254 --adapter-dns 10.78.0.253 --log "$@" >"$work/sim.out" 2>"$work/sim.err" &
  sim_pid=$!
  for _ in $(seq 100); do
    grep -q "discovery answers" "$work/sim.out" 2>/dev/null && break
    sleep 0.05
  done
  grep -q "discovery answers" "$work/sim.out" || { cat "$work/sim.err"; echo "FAIL: the simulated adapter did not start"; exit 1; }
}

status=0
fail() { echo "FAIL: $*"; status=1; }
# ipconfig WORDS...: runs the command on the launcher's host; output in $work/out, exit status in $rc.
ipconfig() {
  in_near env "$@" >"$work/out" 2>"$work/err"
  rc=$?
}
# The unstamped lines: the four addresses.
addresses() { grep -E '^(IP Address|Subnet Mask|Default Gateway|DNS Server): ' "$work/out"; }
# Status lines, stamp removed.
statuses() { grep -E '^[0-9]{2}:[0-9]{2}:[0-9]{2} ' "$work/out" | cut -c10-; }
sets_heard() { grep -c "length 104" "$work/sim.err"; }
show() { echo "--- output ($1)"; cat "$work/out" "$work/err"; }

start_sim --ipconfig-other-adapter 10.78.0.3

# Reading only: the other adapter is listed first, the dialog is cancelled.
ipconfig "$tidewatcher" ipconfig "$name" --discover-seconds 10
expected_read=$'IP Address: 10.78.0.2\nSubnet Mask: 255.255.255.0\nDefault Gateway: 10.78.0.254\nDNS Server: 10.78.0.253'
[ $rc -eq 0 ] || fail "reading exited $rc"
[ "$(addresses)" = "$expected_read" ] || fail "reading printed other addresses"
expected_status=$'Retrieving IP Configuration...\nSending Config Query...\nResponse From 10.78.0.3\nResponse From 10.78.0.2'
[ "$(statuses)" = "$expected_status" ] || fail "reading: unexpected status lines"
[ "$(sets_heard)" = 0 ] || fail "a cancelled dialog sent a ConfigSet"
[ $status -eq 0 ] || show reading

# Setting, the system picked by its address: four sends, all four reach the adapter.
ipconfig "$tidewatcher" ipconfig 10.78.0.2 --set 10.78.0.9 255.255.0.0 10.78.0.1 10.78.0.53 --discover-seconds 10
[ $rc -eq 0 ] || fail "setting exited $rc"
[ "$(addresses)" = "$expected_read" ] || fail "setting printed other addresses first"
[ "$(statuses | grep -c '^IP Config Sent...$')" = 4 ] || fail "not four \"IP Config Sent...\" lines"
[ "$(sets_heard)" = 4 ] || fail "the adapter heard $(sets_heard) ConfigSets, not 4 (two to it, two to 255.255.255.255)"
[ $status -eq 0 ] || { show setting; cat "$work/sim.err"; }

# The adapter now has what was sent; then DHCP, and again.
ipconfig "$tidewatcher" ipconfig "$name" --discover-seconds 10
[ "$(addresses)" = $'IP Address: 10.78.0.9\nSubnet Mask: 255.255.0.0\nDefault Gateway: 10.78.0.1\nDNS Server: 10.78.0.53' ] ||
  { fail "the set did not take"; show "after set"; }
ipconfig "$tidewatcher" ipconfig "$name" --dhcp --discover-seconds 10
[ $rc -eq 0 ] || { fail "DHCP exited $rc"; show dhcp; }
ipconfig "$tidewatcher" ipconfig "$name" --discover-seconds 10
[ "$(addresses)" = $'IP Address: 0.0.0.0\nSubnet Mask: 0.0.0.0\nDefault Gateway: 0.0.0.0\nDNS Server: 0.0.0.0' ] ||
  { fail "DHCP did not take"; show "after DHCP"; }

# No such system: exit 1 once discovery gives up. Usage errors: exit 2.
ipconfig "$tidewatcher" ipconfig "Quorvex: 00-00-00" --discover-seconds 1
[ $rc -eq 1 ] || fail "an unknown system exited $rc"
for words in "" "10.78.0.2 --set 1.2.3.4" "10.78.0.2 --dhcp --dhcp" "10.78.0.2 --dhcp --set 1.2.3.4 1.2.3.4 1.2.3.4 1.2.3.4" \
  "10.78.0.2 --set 1.2.3.4 1.2.3.4 1.2.3.4 1.2.3.400" "10.78.0.2 10.78.0.3"; do
  # shellcheck disable=SC2086
  ipconfig "$tidewatcher" ipconfig $words
  [ $rc -eq 2 ] || fail "\"ipconfig $words\" exited $rc, not 2"
done

# A silent adapter, one address row: ten queries a second apart, then the message.
stop_sim
start_sim --ipconfig-silent
ipconfig TIDEWATCHER_SUBNETS=10.78.0.1/24 "$tidewatcher" ipconfig "$name" --set 1.1.1.1 1.1.1.1 1.1.1.1 1.1.1.1 --discover-seconds 10
[ $rc -eq 1 ] || fail "no answer exited $rc"
[ "$(statuses | grep -c '^Sending Config Query...$')" = 10 ] || fail "not ten queries"
[ "$(statuses | tail -1)" = "No Response from Target System. Old Version?" ] || fail "no \"No Response\" line last"
[ -z "$(addresses)" ] || fail "addresses printed without an answer"
[ "$(sets_heard)" = 0 ] || fail "a ConfigSet was sent without an answer"
[ $status -eq 0 ] || show silent

if [ $status -eq 0 ]; then
  echo "PASS: read, set, DHCP and no answer across the veth pair, 255.255.255.255 included"
else
  echo "--- simulated adapter's log"; cat "$work/sim.err"
fi
exit $status
