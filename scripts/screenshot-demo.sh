#!/usr/bin/env bash
# Takes a screenshot of the ticker demo under Xvfb. Builds nothing: runs the demo given as
# the first argument (default: out/windows/demo/marquelle_demo.exe) inside the test sandbox,
# waits a few seconds, photographs the whole screen and prints the picture's path.
#
#   scripts/screenshot-demo.sh [DEMO.exe] [OUT.png] [SECONDS]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
demo=${1:-$root/out/windows/demo/marquelle_demo.exe}
shot=${2:-$root/out/screenshots/demo.png}
wait=${3:-4}
[ -f "$demo" ] || { echo "screenshot-demo: $demo not found (build the windows preset first)" >&2; exit 1; }
mkdir -p "$(dirname "$shot")"
demo=$(cd "$(dirname "$demo")" && pwd)/$(basename "$demo")
shot=$(cd "$(dirname "$shot")" && pwd)/$(basename "$shot")

if [ "${MQ_SANDBOX:-}" != 1 ]; then
  exec "$here/sandbox.sh" -- "$0" "$demo" "$shot" "$wait"
fi

/usr/lib/wine/wine64 "$demo" >/dev/null 2>&1 &
pid=$!
sleep "$wait"
import -display "$DISPLAY" -window root "$shot"
kill "$pid" 2>/dev/null || true
wait "$pid" 2>/dev/null || true
echo "$shot"
