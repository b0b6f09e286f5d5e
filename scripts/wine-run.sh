#!/usr/bin/env bash
# The emulator through which ctest runs the Windows test programs: Wine, always inside the
# test sandbox (it enters one itself when called from outside).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if [ "${MQ_SANDBOX:-}" != 1 ]; then
  exec "$here/sandbox.sh" -- "$0" "$@"
fi
exec /usr/lib/wine/wine64 "$@"
