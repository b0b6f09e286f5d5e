#!/usr/bin/env bash
# Runs a command inside the test sandbox (entering one when called from outside) after
# giving the sandbox's network namespace the conditions the connection detector's tests
# probe. Each uses a documentation prefix no other test uses, so the routes change nothing
# for tests that share the sandbox, and no packet can leave the machine:
#   192.0.2.0/24     no route at all: a connect fails at once (network unreachable)
#   198.51.100.0/24  routed into lo but not local: the packets are dropped, no answer comes
#   203.0.113.0/24   local, nothing listening: the connect is refused
#
#   tests/net/with-routes.sh command args...
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if [ "${MQ_SANDBOX:-}" != 1 ]; then
  exec "$here/../../scripts/sandbox.sh" -- "$0" "$@"
fi
ip route replace 198.51.100.0/24 dev lo
ip route replace local 203.0.113.0/24 dev lo
exec "$@"
