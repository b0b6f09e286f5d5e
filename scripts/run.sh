#!/usr/bin/env bash
# Builds and starts the ticker the way a user would, offline, inside the sandbox. Without a
# display it runs under Xvfb, saves a screenshot after a few seconds and prints its path.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
cd "$root"
"$here/install-deps.sh"
mkdir -p out
cmake --preset windows >out/windows-configure.log 2>&1
cmake --build --preset windows -j "$(nproc)" >out/windows-build.log 2>&1 || { tail -n 40 out/windows-build.log; exit 1; }

exe=out/windows/app/marquelle.exe
[ -f "$exe" ] || { echo "run: $exe was not built" >&2; exit 1; }
exe=$(realpath "$exe")

# The program reads the bundled sample feed (app/sample/), served on 127.0.0.1 inside the
# same private network namespace, through an "app.config" beside it that names it.
port=${MQ_FEED_PORT:-18080}
printf '[Global]\r\nUrl=http://127.0.0.1:%s/sample-feed.xml\r\nReload_Time=5\r\n' "$port" \
  >"$(dirname "$exe")/app.config"
display_mode=0
if [ -n "${DISPLAY:-}" ] && [ -z "${CI:-}${MQ_HEADLESS:-}${MQ_SANDBOX:-}" ]; then display_mode=1; fi
export MQ_RUN_EXE=$exe MQ_RUN_PORT=$port MQ_RUN_DISPLAY=$display_mode MQ_RUN_ROOT=$root
exec "$here/sandbox.sh" --net-only -- bash -c '
  set -euo pipefail
  python3 -m http.server "$MQ_RUN_PORT" --bind 127.0.0.1 --directory "$MQ_RUN_ROOT/app/sample" \
    >"$MQ_RUN_ROOT/out/feed-server.log" 2>&1 &
  server=$!
  trap "kill $server 2>/dev/null || true" EXIT
  for _ in $(seq 50); do
    (exec 3<>"/dev/tcp/127.0.0.1/$MQ_RUN_PORT") 2>/dev/null && break
    sleep 0.1
  done
  if [ "$MQ_RUN_DISPLAY" = 1 ]; then
    cd "$(dirname "$MQ_RUN_EXE")"
    MQ_USE_DISPLAY=1 "$MQ_RUN_ROOT/scripts/sandbox.sh" --prefix "${MQ_WINEPREFIX:-$MQ_RUN_ROOT/out/wineprefix}" \
      -- /usr/lib/wine/wine64 "$MQ_RUN_EXE"
  else
    "$MQ_RUN_ROOT/scripts/show.sh" "$MQ_RUN_EXE"
  fi
'
