#!/usr/bin/env bash
# Runs a command with Debian's tinyproxy listening on 127.0.0.1, inside the test sandbox
# (it enters one itself when called from outside, so the proxy and the command share the
# sandbox's loopback). The command finds the proxy through MQ_TINYPROXY_PORT and its log
# through MQ_TINYPROXY_LOG.
#
#   tests/http/with-tinyproxy.sh command args...
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/support/server-wrapper.sh
. "$here/../support/server-wrapper.sh" "$@"
require tinyproxy

# A free port: ask the system for one, release it, and let tinyproxy take it.
for attempt in 1 2 3 4 5; do
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()')
  cat >"$dir/tinyproxy.conf" <<CONF
Port $port
Listen 127.0.0.1
Allow 127.0.0.1
Timeout 30
MaxClients 20
LogFile "$dir/tinyproxy.log"
LogLevel Info
CONF
  tinyproxy -d -c "$dir/tinyproxy.conf" >"$dir/tinyproxy.out" 2>&1 &
  server_pid=$!
  for _ in $(seq 50); do
    if grep -q "listening on" "$dir/tinyproxy.log" 2>/dev/null ||
       (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
      break
    fi
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$server_pid" 2>/dev/null; then break; fi
  server_pid=
done
[ -n "$server_pid" ] || { echo "with-tinyproxy: tinyproxy did not start" >&2; cat "$dir"/tinyproxy.* >&2 || true; exit 1; }

export MQ_TINYPROXY_PORT=$port MQ_TINYPROXY_LOG=$dir/tinyproxy.log
status=0
"$@" || status=$?
exit $status
