#!/usr/bin/env bash
# Photographs marquelle.exe (out/windows/app) showing the bundled sample feed (app/sample/)
# at several screen resolutions, each in a prefix of its own (out/windows/dpi/prefix-N, as the
# main_dpi tests use), and prints the screenshots' paths:
#   scripts/dpi-screenshots.sh [OUT_DIR] [DPI...]      (default: screenshots/dpi, 96 120 144 192)
# The program runs inside the sandbox's private network namespace; the feed is served on
# 127.0.0.1. MQ_SHOT_DELAY (default 8) is the wait before each screenshot.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
out=$(realpath -m "${1:-$root/screenshots/dpi}")
shift $(($# > 0 ? 1 : 0))
dpis=("$@")
[ ${#dpis[@]} -gt 0 ] || dpis=(96 120 144 192)
exe=$root/out/windows/app/marquelle.exe
[ -f "$exe" ] || { echo "build marquelle first (cmake --build --preset windows --target marquelle)" >&2; exit 1; }
mkdir -p "$out"
port=${MQ_FEED_PORT:-18080}
printf '[Global]\r\nUrl=http://127.0.0.1:%s/sample-feed.xml\r\nReload_Time=5\r\n' "$port" >"$(dirname "$exe")/app.config"
for dpi in "${dpis[@]}"; do
  MQ_EXE=$exe MQ_PORT=$port MQ_ROOT=$root MQ_SHOT="$out/marquelle-$dpi.png" \
    "$here/sandbox.sh" --prefix "$root/out/windows/dpi/prefix-$dpi" --dpi "$dpi" -- bash -c '
    python3 -m http.server "$MQ_PORT" --bind 127.0.0.1 --directory "$MQ_ROOT/app/sample" >/dev/null 2>&1 &
    server=$!
    for _ in $(seq 50); do (exec 3<>"/dev/tcp/127.0.0.1/$MQ_PORT") 2>/dev/null && break; sleep 0.1; done
    cd "$(dirname "$MQ_EXE")"
    /usr/lib/wine/wine64 "$MQ_EXE" >/dev/null 2>&1 &
    program=$!
    sleep "${MQ_SHOT_DELAY:-8}"
    import -display "$DISPLAY" -window root "$MQ_SHOT"
    kill "$program" "$server" 2>/dev/null || true'
  echo "$out/marquelle-$dpi.png"
done
