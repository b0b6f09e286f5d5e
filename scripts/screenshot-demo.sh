#!/usr/bin/env bash
# Takes a screenshot of the ticker demo under Xvfb. Builds nothing: runs the demo given as
# the first argument (default: out/windows/demo/marquelle_demo.exe) inside the sandbox, waits a
# few seconds, photographs the whole screen and prints the picture's path.
#
#   scripts/screenshot-demo.sh [DEMO.exe] [OUT.png] [SECONDS]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
demo=${1:-$root/out/windows/demo/marquelle_demo.exe}
[ -f "$demo" ] || { echo "screenshot-demo: $demo not found (build the windows preset first)" >&2; exit 1; }
MQ_HEADLESS=1 MQ_SHOT=${2:-$root/screenshots/demo.png} MQ_SHOT_DELAY=${3:-4} exec "$here/show.sh" "$demo"
