#!/usr/bin/env bash
# End-to-end test of marquelle.exe and its connection detector, run by ctest
# (marquelle_network_e2e):
#   tests/e2e/network.sh MARQUELLE_EXE PROBE_EXE WORK_DIR
# In a sandbox of its own, whose routes this script changes (nothing leaves the machine:
# the namespace has only loopback):
#   1. No route at all and the feed not yet on the server: the ticker shows the error text.
#      Then every address is made local ("the network is back"; the probe address refuses)
#      and the feed published: a download starts within one probe interval, not at the next
#      reload, and shows the feed.
#   2. The probe address routed into loopback, where its packets are dropped: the bar appears
#      no more than the cancel time plus one second later than without a route.
#   3. A stable network and a feed that fails: the detector starts no extra downloads.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/e2e/common.sh
. "$here/common.sh" "$@"

# A network namespace of its own also when ctest runs in a sandbox, whose other tests must
# not see these routes; inside it, the sandbox's display and a prefix copied from a finished
# one when there is one.
if outside_sandbox; then
  seed=${WINEPREFIX:-${MQ_WINEPREFIX:-$HOME/.cache/marquelle/wineprefix}}
  MQ_E2E_INNER=1 exec unshare -rn env MQ_SANDBOX=1 \
    "$root/scripts/sandbox.sh" --prefix "$work/prefix" --seed "$seed" -- "$0" "$@"
fi

probe_address=1.1.1.1   # kProbeAddress (net/QuNetUtil.h)
cancel_ms=1000 interval_ms=5000
port=18082
install_program
ms_now() { echo $(( $(date +%s%N) / 1000000 )); }

cat >"$feed/news.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<rss version="2.0"><channel><title>Loopback</title><link>http://127.0.0.1/</link>
<item><title>Network is back</title><link>http://127.0.0.1/1</link><description>One</description></item>
</channel></rss>
XML
# Reloads every 2 minutes: any download within these runs that is not the first comes from
# the detector.
printf '[Global]\r\nUrl=http://127.0.0.1:%s/news.xml\r\nReload_Time=2\r\n' "$port" >"$app/app.config"

program=
# Ends the program and waits until its bar is gone, so the next run finds only its own.
stop_program() {
  "$wine" taskkill /f /im marquelle.exe >/dev/null 2>&1 || true
  [ -n "$program" ] && { kill "$program" 2>/dev/null; wait "$program" 2>/dev/null; } || true
  program=
  for _ in $(seq 50); do [[ $(probe bar 0) == bar* ]] || break; sleep 0.1; done
}
cleanup() { stop_server; stop_program; }
trap cleanup EXIT
gets() { grep -c '"GET /news.xml' "$work/server.log" 2>/dev/null || true; }
# Starts the program and prints the milliseconds until its bar is on screen.
start_program() {
  local t0
  t0=$(ms_now)
  (cd "$app" && exec "$wine" ./marquelle.exe >>"$work/marquelle.out" 2>&1) &
  program=$!
  probe bar 30000 >/dev/null || true
  echo $(( $(ms_now) - t0 ))
}
wait_gets() {  # COUNT TIMEOUT_MS: milliseconds until the server has seen COUNT downloads
  local t0
  t0=$(ms_now)
  while [ "$(gets)" -lt "$1" ]; do
    [ $(( $(ms_now) - t0 )) -gt "$2" ] && { echo never; return; }
    sleep 0.05
  done
  echo $(( $(ms_now) - t0 ))
}
: >"$work/server.log"

# 1. No route and no feed yet; then the network comes back and the feed is published. The
# server runs from the start, so the first download is known to have failed before the
# network comes back (and the detector, made before the form loads, has seen it missing).
published=$work/published
mkdir -p "$published"
start_server "$published"
unrouted_ms=$(start_program)
[ "$(wait_gets 1 30000)" != never ] || fail "no network: no first download"
out=$(probe ticker "现在无法从当前地址获取 feeds!" 30000) || true
[[ $out == found* ]] && pass "no network: error text shown" || fail "no network: no error text"
ip route add local default dev lo
cp "$feed/news.xml" "$published/news.xml"
back_ms=$(wait_gets 2 $((interval_ms + 3000)))
if [ "$back_ms" != never ] && [ "$back_ms" -le $((interval_ms + 1500)) ]; then
  pass "network back: download after $back_ms ms (probe interval $interval_ms ms)"
else
  fail "network back: download after $back_ms ms"
fi
out=$(probe ticker "1/1 Network is back" 30000) || true
[[ $out == found* ]] && pass "network back: the feed is shown" || fail "network back: the feed is not shown"
stop_program
stop_server
ip route del local default dev lo

# 2. Start-up with the probe address dropped.
ip route add "$probe_address/32" dev lo
dropped_ms=$(start_program)
stop_program
ip route del "$probe_address/32" dev lo
if [ $((dropped_ms - unrouted_ms)) -le $((cancel_ms + 1000)) ]; then
  pass "start-up with the probe dropped: bar after $dropped_ms ms (no route: $unrouted_ms ms)"
else
  fail "start-up with the probe dropped: bar after $dropped_ms ms (no route: $unrouted_ms ms)"
fi

# 3. A stable network and a failing feed (the server has no such document).
ip route add local default dev lo
mkdir -p "$work/empty"
: >"$work/server.log"
start_server "$work/empty"
start_program >/dev/null
out=$(probe ticker "现在无法从当前地址获取 feeds!" 30000) || true
[[ $out == found* ]] && pass "failing feed: error text shown" || fail "failing feed: no error text"
sleep $(( 3 * interval_ms / 1000 ))
n=$(gets)
[ "$n" -eq 1 ] && pass "failing feed on a stable network: $n download in $((3 * interval_ms)) ms" ||
  fail "failing feed on a stable network: $n downloads"
stop_program
stop_server

finish "bar on screen, no route: $unrouted_ms ms; probe address dropped: $dropped_ms ms" \
  "network back to download start: $back_ms ms"
