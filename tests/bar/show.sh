#!/usr/bin/env bash
# Takes a screenshot of the docked bar in the sandbox's virtual desktop, with its task bar.
#   tests/bar/show.sh [BUILD_DIR]     (a windows-preset build with bar_show built)
# Wine's explorer shows the task bar of a named virtual desktop only when the desktop's
# EnableShell value is set, so it is set in the prefix first.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-$root/out/windows}
export MQ_WINEPREFIX=${MQ_WINEPREFIX:-$root/out/wineprefix}
"$root/scripts/sandbox.sh" -- /usr/lib/wine/wine64 reg add \
  'HKCU\Software\Wine\Explorer\Desktops\Default' /v EnableShell /t REG_DWORD /d 1 /f >/dev/null
exec "$root/scripts/show.sh" "$build/tests/bar/bar_show.exe"
