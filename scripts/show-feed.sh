#!/usr/bin/env bash
# Shows one feed file in the real program: the Windows build's marquelle.exe, copied to a
# temporary folder with an "app.config" naming the file, reads it from a loopback HTTP server
# inside the sandbox; a screenshot is taken after $MQ_SHOT_DELAY seconds (default 12).
#   scripts/show-feed.sh FEED_FILE SCREENSHOT.png
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
feed=$(realpath "$1")
shot=$(realpath -m "$2")
port=${MQ_FEED_PORT:-18090}
exe=$(realpath "$root/out/windows/app/marquelle.exe")
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cp "$exe" "$dir/"
printf '[Global]\r\nUrl=http://127.0.0.1:%s/%s\r\nReload_Time=5\r\n' "$port" "$(basename "$feed")" >"$dir/app.config"
export MQ_DIR=$dir MQ_SHOT_OUT=$shot MQ_ROOT=$root MQ_FEED_DIR=$(dirname "$feed") MQ_FEED_PORT=$port
"$here/sandbox.sh" --net-only -- bash -c '
  python3 -m http.server "$MQ_FEED_PORT" --bind 127.0.0.1 --directory "$MQ_FEED_DIR" >"$MQ_DIR/server.log" 2>&1 &
  server=$!
  trap "kill $server 2>/dev/null || true" EXIT
  for _ in $(seq 50); do (exec 3<>"/dev/tcp/127.0.0.1/$MQ_FEED_PORT") 2>/dev/null && break; sleep 0.1; done
  MQ_HEADLESS=1 MQ_SHOT="$MQ_SHOT_OUT" MQ_SHOT_DELAY=${MQ_SHOT_DELAY:-12} "$MQ_ROOT/scripts/show.sh" "$MQ_DIR/marquelle.exe"
  grep -q "\" 200 " "$MQ_DIR/server.log" || { echo "show-feed: the program did not fetch the feed" >&2; exit 1; }
'
