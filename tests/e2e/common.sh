# What the end-to-end scripts share. Sourced first, with the script's arguments
# (MARQUELLE_EXE PROBE_EXE WORK_DIR); the script then enters a sandbox of its own when
# `outside_sandbox` says so, and inside it calls `install_program`.
root=$(cd "$here/../.." && pwd)
exe=$1 probe=$2 work=$3
wine=/usr/lib/wine/wine64

# True outside the script's own sandbox, with WORK_DIR emptied for the run about to start.
outside_sandbox() {
  [ "${MQ_E2E_INNER:-}" = 1 ] && return 1
  rm -rf "$work"
  mkdir -p "$work"
}

# Installs the program in $work/Marquelle the way a user does and opens the log.
install_program() {
  app=$work/Marquelle
  feed=$work/feed
  mkdir -p "$app" "$feed"
  cp "$exe" "$app/marquelle.exe"
  log=$work/$(basename "$0" .sh).log
  : >"$log"
  failures=0
}
pass() { echo "PASS: $*" | tee -a "$log"; }
fail() { echo "FAIL: $*" | tee -a "$log"; failures=$((failures + 1)); }
probe() { "$wine" "$probe" "$@" 2>/dev/null | tr -d '\r'; }

server=
start_server() {  # [DIRECTORY], the feed folder when none is given
  python3 -m http.server "$port" --bind 127.0.0.1 --directory "${1:-$feed}" >>"$work/server.log" 2>&1 &
  server=$!
  for _ in $(seq 50); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.1; done
}
stop_server() { [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null || true; server=; }

# The last lines of every script: the figures, then the verdict.
finish() {  # FIGURE-LINE...
  { echo "figures:"; printf '  %s\n' "$@"; } | tee -a "$log"
  echo "$failures failed"
  [ "$failures" -eq 0 ]
}
