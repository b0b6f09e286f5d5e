#!/usr/bin/env bash
# Runs a command with HTTPS feed servers on 127.0.0.1 inside the test sandbox (it enters one
# itself when called from outside). The certificates are made afresh by make-certs.sh; the
# command finds the test authority's certificate (DER) through MQ_TLS_CA and the servers'
# ports through MQ_TLS_PORTS ("good=P1,selfsigned=P2,expired=P3,wronghost=P4").
#
#   tests/tls/with-tls-server.sh command args...
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=tests/support/server-wrapper.sh
. "$here/../support/server-wrapper.sh" "$@"
require openssl

"$here/make-certs.sh" "$dir/certs"
python3 "$here/tls_server.py" "$dir/certs" "$dir/ports" 900 2>"$dir/server.log" &
server_pid=$!
for _ in $(seq 100); do
  [ -f "$dir/ports" ] && break
  kill -0 "$server_pid" 2>/dev/null || break
  sleep 0.1
done
[ -f "$dir/ports" ] || { echo "with-tls-server: the servers did not start" >&2; cat "$dir/server.log" >&2; exit 1; }

MQ_TLS_PORTS=$(paste -sd, "$dir/ports")
export MQ_TLS_PORTS MQ_TLS_CA=$dir/certs/ca.der
status=0
"$@" || status=$?
exit $status
