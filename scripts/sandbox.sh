#!/usr/bin/env bash
# Runs a command in the test sandbox: a private network namespace that has only a loopback
# device (nothing inside can send a packet off the machine), an Xvfb display, and a Wine
# prefix that is created once and reused.
#
#   scripts/sandbox.sh [--prefix DIR] [--dpi N] [--net-only] [--] command args...
#
# --net-only gives just the private network namespace (no display, no Wine).
# --dpi N sets the prefix's screen resolution (HKCU\Control Panel\Desktop LogPixels) to N
# pixels per inch before any program of the command starts; keep one prefix per value.
# --seed DIR makes a new prefix as a copy of the finished prefix DIR (seconds instead of a
# minute of wineboot); without it, or when DIR is not one, the prefix is booted afresh.
# The prefix defaults to $MQ_WINEPREFIX or ~/.cache/marquelle/wineprefix. Inside, DISPLAY,
# WINEPREFIX and WINEDEBUG are set and MQ_SANDBOX=1, and a persistent wineserver runs for the
# command's lifetime, so Wine programs start fast.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

prefix=${MQ_WINEPREFIX:-$HOME/.cache/marquelle/wineprefix}
net_only=0
dpi=
seed=
while [ $# -gt 0 ]; do
  case "$1" in
    --prefix) prefix=$2; shift 2 ;;
    --net-only) net_only=1; shift ;;
    --dpi) dpi=$2; shift 2 ;;
    --seed) seed=$2; shift 2 ;;
    --) shift; break ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || { echo "usage: sandbox.sh [--prefix DIR] [--] command..." >&2; exit 2; }
mkdir -p "$(dirname "$prefix")"
prefix=$(cd "$(dirname "$prefix")" && pwd)/$(basename "$prefix")

only_loopback() {
  # /proc/net/dev lists the devices of this process's own network namespace.
  [ "$(awk 'NR > 2 { sub(":", "", $1); print $1 }' /proc/net/dev | grep -vx lo | wc -l)" -eq 0 ]
}

if [ "${MQ_SANDBOX:-}" != 1 ] || ! only_loopback; then
  flags=(--prefix "$prefix")
  [ "$net_only" = 1 ] && flags+=(--net-only)
  [ -n "$dpi" ] && flags+=(--dpi "$dpi")
  [ -n "$seed" ] && flags+=(--seed "$seed")
  exec unshare -rn env MQ_SANDBOX=1 "$0" "${flags[@]}" -- "$@"
fi

ip link set lo up 2>/dev/null || true
only_loopback || { echo "sandbox: a network device other than lo is visible" >&2; exit 1; }
if [ "$net_only" = 1 ]; then
  exec "$@"
fi

export WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml=" MQ_SANDBOX=1
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=/usr/lib/wine/wineserver

cleanup() {
  "$wineserver" -k 2>/dev/null || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
  [ -n "${displayfile:-}" ] && rm -f "$displayfile"
}
trap cleanup EXIT

if [ -z "${MQ_USE_DISPLAY:-}" ]; then
  # Xvfb chooses a free display number itself, so parallel sandboxes do not collide.
  displayfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$displayfile" ] && break
    sleep 0.1
  done
  [ -s "$displayfile" ] || { echo "sandbox: Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$(head -n1 "$displayfile")"
fi

# Waits until the prefix's wineserver has written everything and exited. A desktop process
# that wineboot left behind can keep the server alive indefinitely: after a while it is ended
# (the server still saves the registry as it shuts down).
settle() {
  timeout 60 "$wineserver" -w || { "$wineserver" -k 2>/dev/null || true; timeout 30 "$wineserver" -w || true; }
}

reg() { "$wine" reg add "$@" /f >/dev/null 2>&1; }

if [ ! -f "$prefix/.marquelle-prefix-v2" ] && [ -n "$seed" ] && [ -f "$seed/.marquelle-prefix-v2" ]; then
  echo "sandbox: copying Wine prefix $seed to $prefix" >&2
  rm -rf "$prefix"
  cp -a "$seed" "$prefix"
  rm -f "$prefix"/.marquelle-dpi-*
fi
if [ ! -f "$prefix/.marquelle-prefix-v2" ]; then
  echo "sandbox: creating Wine prefix $prefix" >&2
  rm -rf "$prefix"
  "$wine" wineboot -i >/dev/null 2>&1
  settle
  # Every program of the prefix runs in one 1024x768 virtual desktop with a task bar
  # (Wine shows the task bar only where EnableShell is set).
  reg 'HKCU\Software\Wine\Explorer' /v Desktop /d Default
  reg 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768
  reg 'HKCU\Software\Wine\Explorer\Desktops\Default' /v EnableShell /t REG_DWORD /d 1
  # Chinese faces are drawn with the CJK font Debian provides.
  for face in 宋体 SimSun 'Microsoft YaHei' 微软雅黑; do
    reg 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d 'WenQuanYi Micro Hei'
  done
  settle
  touch "$prefix/.marquelle-prefix-v2"
fi

# Arial falls back to the CJK font for Chinese text, as Windows links its fonts to the
# system's CJK font (the menus' separator captions are in Arial; Wine links Tahoma itself).
if [ ! -f "$prefix/.marquelle-fontlink" ]; then
  reg 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v Arial /t REG_MULTI_SZ \
    /d 'wqy-microhei.ttc,WenQuanYi Micro Hei'
  settle
  touch "$prefix/.marquelle-fontlink"
fi

# Every process reads the resolution when it starts, so it is written while none runs.
if [ -n "$dpi" ] && [ ! -f "$prefix/.marquelle-dpi-$dpi" ]; then
  reg 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi"
  settle
  rm -f "$prefix"/.marquelle-dpi-*
  touch "$prefix/.marquelle-dpi-$dpi"
fi

"$wineserver" -p
# Start the virtual desktop (and its task bar) now, detached from the command's output:
# a desktop started by a test program would inherit the test's pipes and keep them open.
"$wine" explorer.exe /desktop=Default,1024x768 >/dev/null 2>&1 </dev/null &
for _ in $(seq 50); do
  "$wine" cmd /c exit 0 >/dev/null 2>&1 && break
  sleep 0.1
done
# Wine closes a desktop about a second after the last program using it has ended, and a
# program that creates a window just then gets none: between two test programs that can take
# down a whole suite. The desktop keeper of the Windows build holds it for the sandbox's life.
keeper=${MQ_DESKTOP_KEEPER:-$(dirname "$here")/out/windows/tests/desktop/desktop_keeper.exe}
if [ -f "$keeper" ]; then
  "$wine" "$keeper" >/dev/null 2>&1 </dev/null &
fi
status=0
"$@" || status=$?
exit $status
