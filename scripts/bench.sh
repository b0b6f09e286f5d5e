#!/usr/bin/env bash
# Builds and runs every benchmark: the native ones (Google Benchmark, each beside its peer
# library in the same run) and the Windows ones under Wine. Results are kept as Google
# Benchmark JSON files in bench-results/ (or $MQ_BENCH_OUT), named at the end.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
cd "$root"
out=${MQ_BENCH_OUT:-$root/bench-results}
mkdir -p "$out" out
"$here/install-deps.sh" || exit 1
status=0

run_list() {  # run_list BUILD_DIR RUNNER...
  local build=$1
  shift
  [ -f "$build/benchmarks.txt" ] || return 0
  while read -r name; do
    [ -n "$name" ] || continue
    exe=$(find "$build/bench" -type f \( -name "$name" -o -name "$name.exe" \) | head -n1)
    [ -n "$exe" ] || { echo "bench: $name not built"; status=1; continue; }
    echo
    echo "=== $name"
    "$@" "$exe" --benchmark_out="$out/$name.json" --benchmark_out_format=json || status=1
  done <"$build/benchmarks.txt"
}

cmake --preset bench >out/bench-configure.log 2>&1 && cmake --build --preset bench -j "$(nproc)" >out/bench-build.log 2>&1 \
  || { tail -n 40 out/bench-build.log; exit 1; }
run_list out/bench "$here/sandbox.sh" --net-only --

cmake --preset windows >out/windows-configure.log 2>&1 && cmake --build --preset windows -j "$(nproc)" >out/windows-build.log 2>&1 \
  || { tail -n 40 out/windows-build.log; exit 1; }
run_list out/windows "$here/sandbox.sh" --prefix "$root/out/wineprefix" -- /usr/lib/wine/wine64

# The program on the desktop: CPU of the whole Wine stack while it scrolls against the same
# stack idle, and its peak resident memory beside a trivial window (MQ_FOOTPRINT_SECONDS,
# default 60; the release package's executable when scripts/package.sh has made one).
echo
echo "=== footprint"
program=out/windows/app/marquelle.exe
[ -f out/release/app/marquelle.exe ] && program=out/release/app/marquelle.exe
"$here/sandbox.sh" --prefix "$root/out/wineprefix" -- python3 "$root/bench/footprint/footprint.py" \
  --seconds "${MQ_FOOTPRINT_SECONDS:-60}" --out "$out/footprint.json" \
  --reference trivial_window=out/windows/bench/footprint/trivial_window.exe "marquelle=$program" || status=1

echo
echo "Benchmark results (Google Benchmark JSON): $out"
exit $status
