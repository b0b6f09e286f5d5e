#!/usr/bin/env bash
# Starts a Windows program of the build inside the sandbox, the way a user would.
#   scripts/show.sh [EXE [args...]]      (default: out/windows/app/marquelle.exe)
# It starts the program as it is: scripts/run.sh adds the loopback feed marquelle.exe reads.
# With a display ($DISPLAY set, not under CI, MQ_HEADLESS unset) it runs on that display until it is closed.
# Without one it runs under Xvfb, takes a screenshot after $MQ_SHOT_DELAY seconds (default 6)
# into $MQ_SHOT (default screenshots/<program>-<time>.png), ends the program and prints the
# screenshot's path.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
exe=$(realpath "${1:-$root/out/windows/app/marquelle.exe}")
shift $(($# > 0 ? 1 : 0))
prefix=${MQ_WINEPREFIX:-$root/out/wineprefix}

if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}${MQ_HEADLESS:-}${MQ_SANDBOX:-}" ]; then
  MQ_USE_DISPLAY=1 exec "$here/sandbox.sh" --prefix "$prefix" -- /usr/lib/wine/wine64 "$exe" "$@"
fi

shot=${MQ_SHOT:-$root/screenshots/$(basename "$exe" .exe)-$(date +%Y%m%d-%H%M%S).png}
mkdir -p "$(dirname "$shot")"
shot=$(realpath "$shot")
export MQ_SHOT=$shot MQ_EXE=$exe MQ_SHOT_DELAY=${MQ_SHOT_DELAY:-6}
"$here/sandbox.sh" --prefix "$prefix" -- bash -c '
  cd "$(dirname "$MQ_EXE")"
  /usr/lib/wine/wine64 "$MQ_EXE" "$@" >/dev/null 2>&1 &
  pid=$!
  sleep "$MQ_SHOT_DELAY"
  import -display "$DISPLAY" -window root "$MQ_SHOT"
  kill "$pid" 2>/dev/null || true
' bash "$@"
echo "$shot"
