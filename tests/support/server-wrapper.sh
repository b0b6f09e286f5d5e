# What the scripts that run a command beside a loopback server share. Sourced first thing,
# with the script's arguments: outside the test sandbox it starts the script again inside
# one (so the server and the command share its loopback); inside, it gives a scratch folder
# `dir` and ends the server whose process id is in `server_pid`, and removes the folder,
# when the script ends. `require TOOL` stops with a clear message where TOOL is missing.
if [ "${MQ_SANDBOX:-}" != 1 ]; then
  exec "$(dirname "${BASH_SOURCE[0]}")/../../scripts/sandbox.sh" -- "$0" "$@"
fi
require() {
  command -v "$1" >/dev/null || { echo "$(basename "$0"): $1 is not installed" >&2; exit 1; }
}
dir=$(mktemp -d)
server_pid=
end_server() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null || true
  rm -rf "$dir"
}
trap end_server EXIT
