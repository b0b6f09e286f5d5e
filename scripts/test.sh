#!/usr/bin/env bash
# The whole test run: installs what is missing, checks the format and runs clang-tidy
# (scripts/lint.sh), builds every preset, runs the native tests,
# the same tests under ASan and UBSan, every fuzz target for a bounded time, and the Windows
# tests under Wine, all inside a private network namespace. Ends with "N passed, N failed"
# and exits non-zero on any failure.
#
#   scripts/test.sh            everything
#   MQ_FUZZ_SECONDS=5 scripts/test.sh   shorter fuzzing
#   MQ_STAGES="native windows" scripts/test.sh   only some stages
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
cd "$root"

fuzz_seconds=${MQ_FUZZ_SECONDS:-30}
stages=${MQ_STAGES:-lint native asan fuzz windows}
jobs=$(nproc)
summary=$(mktemp)
trap 'rm -f "$summary"' EXIT
start=$(date +%s)

"$here/install-deps.sh" || { echo "install-deps failed"; echo "0 passed, 1 failed"; exit 1; }

stage() { echo; echo "=== $* ($(($(date +%s) - start)) s)"; }

# build PRESET: configure and build; a failure is one failed test of the stage.
build() {
  local preset=$1
  stage "build $preset"
  if cmake --preset "$preset" >"out/$preset-configure.log" 2>&1 || { cat "out/$preset-configure.log"; false; }; then
    if cmake --build --preset "$preset" -j "$jobs" >"out/$preset-build.log" 2>&1; then
      tail -n 1 "out/$preset-build.log"
      return 0
    fi
    grep -E -B2 -A8 'error|Error' "out/$preset-build.log" | head -n 80
  fi
  printf '%s\t-\t-\t0\t1\n' "build:$preset" >>"$summary"
  return 1
}

# run_ctest PRESET [sandbox flags]: ctest inside the sandbox, counted from the XML reports.
run_ctest() {
  local preset=$1
  shift
  local results="out/$preset/test-results"
  rm -rf "$results"
  mkdir -p "$results"
  stage "test $preset"
  if ! "$here/sandbox.sh" "$@" -- ctest --preset "$preset" -j "$jobs" >"out/$preset/ctest.log" 2>&1 &&
     [ "$preset" = windows ]; then
    # Under Wine a suite can fail for its desktop rather than its code (a Wine desktop that
    # stops hosting new windows takes every later suite with it). The failed suites run once
    # more in a new sandbox; both runs stay in the log and the second one's reports count.
    grep -E 'tests passed|\*\*\*|Failed|Timeout|Not Run' "out/$preset/ctest.log" | tail -n 40
    echo "--- the failed suites once more, in a new sandbox"
    "$here/sandbox.sh" "$@" -- ctest --preset "$preset" --rerun-failed >"out/$preset/ctest-rerun.log" 2>&1
    cat "out/$preset/ctest-rerun.log" >>"out/$preset/ctest.log"
    grep -E 'tests passed|\*\*\*|Failed|Timeout|Not Run' "out/$preset/ctest-rerun.log" | tail -n 40
  else
    grep -E 'tests passed|\*\*\*|Failed|Timeout|Not Run' "out/$preset/ctest.log" | tail -n 40
  fi
  printf '%s\t%s\t%s\t0\t0\n' "$preset" "$results" "out/$preset/ctest.log" >>"$summary"
}

mkdir -p out
for s in $stages; do
  case "$s" in
    lint)
      # Each check is one test: the format of every C++ file, then clang-tidy's findings.
      for check in format tidy; do
        stage "lint $check"
        if "$here/lint.sh" "$check"; then
          printf 'lint:%s\t-\t-\t1\t0\n' "$check" >>"$summary"
        else
          printf 'lint:%s\t-\t-\t0\t1\n' "$check" >>"$summary"
        fi
      done
      ;;
    native|asan)
      build "$s" && run_ctest "$s" --net-only
      ;;
    fuzz)
      if build fuzz; then
        stage "fuzz ($fuzz_seconds s per target)"
        "$here/sandbox.sh" --net-only -- "$here/run-fuzzers.sh" out/fuzz "$fuzz_seconds"
        read -r fp ff <out/fuzz/fuzz-summary.txt || { fp=0; ff=1; }
        printf 'fuzz\t-\t-\t%s\t%s\n' "$fp" "$ff" >>"$summary"
      fi
      ;;
    windows)
      build windows && run_ctest windows --prefix "$root/out/wineprefix"
      ;;
    *) echo "unknown stage $s"; printf '%s\t-\t-\t0\t1\n' "stage:$s" >>"$summary" ;;
  esac
done

stage "summary"
python3 "$here/summarize-tests.py" "$summary"
