#!/usr/bin/env bash
# End-to-end test of marquelle.exe, run by ctest (marquelle_e2e):
#   tests/e2e/e2e.sh MARQUELLE_EXE PROBE_EXE WORK_DIR
# The program is copied into a folder of its own, the way a user installs it, and started in
# a fresh Wine prefix inside the private network namespace, with a loopback server serving a
# 3-item feed. What a user sees is checked from the windows and the screen (tests/e2e/
# probe_win.cpp): the bar docked at the top, the feed title, "1/3 " with the first title,
# then "2/3 ", "3/3 " and "1/3 " again, the error text once the server is stopped and a
# reload comes; then the session is ended the way Windows ends one, "app.config" must hold
# the feed and the interval, and the next start shows the same feed. Screenshots and the
# figures (time to the first item, CPU over 60 s of scrolling, memory) stay in WORK_DIR.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/e2e/common.sh
. "$here/common.sh" "$@"

# A sandbox of its own with a fresh prefix and display, also when ctest itself runs in one.
if outside_sandbox; then
  MQ_E2E_INNER=1 exec "$root/scripts/sandbox.sh" --prefix "$work/prefix" -- "$0" "$@"
fi

port=18081
url="http://127.0.0.1:$port/news.xml"
shots=$work/screenshots
mkdir -p "$shots"
install_program
shot() { import -display "$DISPLAY" -window root "$shots/$1.png" 2>/dev/null || true; }

cat >"$feed/news.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<rss version="2.0"><channel>
<title>Loopback 新闻</title>
<link>http://127.0.0.1/</link>
<description>Three items for the end-to-end test</description>
<item><title>Storm nears the coast</title><link>http://127.0.0.1/1</link><description>First</description></item>
<item><title>港口恢复通航</title><link>http://127.0.0.1/2</link><description>Second</description></item>
<item><title>Kite festival opens</title><link>http://127.0.0.1/3</link><description>Third</description></item>
</channel></rss>
XML
# The user's settings: the loopback feed, reloaded every 2 minutes.
printf '[Global]\r\nUrl=%s\r\nReload_Time=2\r\n' "$url" >"$app/app.config"

program=
cleanup() { stop_server; [ -n "$program" ] && kill "$program" 2>/dev/null || true; }
trap cleanup EXIT

expect_ticker() {  # TEXT TIMEOUT_MS NAME
  local out
  out=$(probe ticker "$1" "$2") || true
  if [[ $out == found* ]]; then pass "$3: ticker shows '$1' (${out#found } ms)"; else fail "$3: ticker never showed '$1'"; fi
  LAST=${out#found }
}

start_server
cd "$app"
t0=$(date +%s%N)
"$wine" ./marquelle.exe >"$work/marquelle.out" 2>&1 &
program=$!

# The bar: docked at the top, as wide as the screen, on top of other windows.
bar=$(probe bar 30000)
echo "$bar" >>"$log"
if [[ $bar =~ ^bar\ 0\ 0\ 1024\ ([0-9]+)\ topmost$ ]] && [ "${BASH_REMATCH[1]}" -gt 0 ]; then
  pass "bar docked at the top: $bar"
else
  fail "bar not docked at the top: $bar"
fi

# The feed title changes when the first download has been handed over; the first item's
# text then scrolls in from the right.
out=$(probe title "Loopback 新闻" 60000) || true
t_title=$(date +%s%N)
[[ $out == found* ]] && pass "title shows the channel title" || fail "title does not show the channel title"
expect_ticker "1/3 Storm nears the coast" 60000 "first item"
t1=$(date +%s%N)
title_ms=$(( (t_title - t0) / 1000000 ))
first_ms=$(( (t1 - t0) / 1000000 ))
shot 01-first-item
# A text the bar does not show must not be found.
out=$(probe ticker "1/4 Storm nears the coast" 1500) || true
[[ $out == missing* ]] && pass "a text that is not shown is not found" || fail "the probe found a text that is not shown"

# The user drags the bar by its background (below the ticker, right of the title) into the
# lower half and lets go: it docks at the bottom; dragged back up, it docks at the top.
drag() {  # FROM_X FROM_Y TO_X TO_Y
  xdotool mousemove "$1" "$2" sleep 0.3 mousedown 1 sleep 0.3 \
    mousemove "$1" $(( ($2 + $4) / 2 )) sleep 0.2 mousemove "$3" "$4" sleep 0.3 mouseup 1
  sleep 1.5
}
bar_rect() { probe bar 5000 | awk '{print $2, $3, $4, $5}'; }
read -r _ t _ b < <(bar_rect)
drag 300 $((b - 3)) 512 600
read -r l t r b < <(bar_rect)
if [ "$t" -gt 384 ] && [ "$b" -le 768 ] && [ $((r - l)) -eq 1024 ]; then
  pass "dragged to the bottom: bar $l $t $r $b"
else
  fail "drag to the bottom: bar $l $t $r $b"
fi
shot 01b-docked-bottom
probe shot "$shots/bar-bottom.bmp" >/dev/null || true
drag 300 $((b - 3)) 512 100
read -r l t r b < <(bar_rect)
[ "$t" -eq 0 ] && pass "dragged back to the top: bar $l $t $r $b" || fail "drag back to the top: bar $l $t $r $b"

# CPU and memory of the program while it scrolls, over 60 s (from /proc: the Wine process
# is a Linux process).
ticks() { awk '{print $14 + $15}' "/proc/$program/stat"; }
c0=$(ticks); w0=$(date +%s%N)
expect_ticker "2/3 港口恢复通航" 90000 "after one pass"
shot 02-second-item
expect_ticker "3/3 Kite festival opens" 90000 "after two passes"
shot 03-third-item
now=$(date +%s%N)
left=$(( 60 - (now - w0) / 1000000000 ))
[ "$left" -gt 0 ] && sleep "$left"
c1=$(ticks); w1=$(date +%s%N)
hz=$(getconf CLK_TCK)
cpu=$(awk -v c="$((c1 - c0))" -v hz="$hz" -v w="$((w1 - w0))" 'BEGIN { printf "%.2f", 100 * c / hz / (w / 1e9) }')
rss=$(awk '/VmRSS/ {print $2}' "/proc/$program/status")
hwm=$(awk '/VmHWM/ {print $2}' "/proc/$program/status")
expect_ticker "1/3 Storm nears the coast" 90000 "wrapped to the first item"
shot 04-wrapped

# The server goes away; the next reload (every 2 minutes) fails and shows the error text.
stop_server
out=$(probe ticker "现在无法从当前地址获取 feeds!" 150000) || true
[[ $out == found* ]] && pass "error text after a failed reload" || fail "no error text after a failed reload"
out=$(probe title "N/A" 5000) || true
[[ $out == found* ]] && pass "title shows N/A" || fail "title does not show N/A"
shot 05-error

# The session ends the way Windows ends one: the program is asked, closes and writes its state.
"$wine" wineboot --end-session >/dev/null 2>&1 || true
for _ in $(seq 100); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$program" 2>/dev/null; then fail "program still running after the end of the session"; kill "$program" || true; else pass "program ended with the session"; fi
program=
config=$(iconv -f UTF-16 -t UTF-8 "$app/app.config" 2>/dev/null || cat "$app/app.config")
printf '%s\n' "$config" >"$work/app.config.after.txt"
grep -q "^Url=$url" <<<"${config//$'\r'/}" && pass "app.config holds the feed" || fail "app.config lacks the feed"
grep -q "^Reload_Time=2" <<<"${config//$'\r'/}" && pass "app.config holds the interval" || fail "app.config lacks the interval"

# The next start reads the written file: the same feed comes back.
start_server
"$wine" ./marquelle.exe >>"$work/marquelle.out" 2>&1 &
program=$!
expect_ticker "1/3 Storm nears the coast" 60000 "next start"
shot 06-next-start
kill "$program" 2>/dev/null || true
program=

echo "screenshots: $shots"
finish "start to the feed loaded (title on screen): $title_ms ms" \
  "start to the first item's text wholly on screen: $first_ms ms" \
  "CPU over 60 s of scrolling: $cpu % of one core" \
  "memory: VmRSS $rss kB, peak VmHWM $hwm kB"
