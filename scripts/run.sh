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

exe=$(find out/windows -name marquelle.exe | head -n1)
[ -n "$exe" ] || exe=$(find out/windows/demo -name '*.exe' 2>/dev/null | head -n1)
[ -n "$exe" ] || { echo "run: nothing to run was built" >&2; exit 1; }
exec "$here/show.sh" "$exe"
