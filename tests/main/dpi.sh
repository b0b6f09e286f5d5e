#!/usr/bin/env bash
# Runs the main window's resolution suite in a Wine prefix of its own whose screen has DPI
# pixels per inch (ctest: main_dpi_96, main_dpi_120, ...):
#   tests/main/dpi.sh DPI TEST_EXE PREFIX_ROOT [gtest args...]
# The prefix (PREFIX_ROOT/prefix-DPI) is made on first use and kept for later runs; inside
# the test sandbox it starts as a copy of the sandbox's own prefix.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
dpi=$1 exe=$2 root=$3
shift 3
mkdir -p "$root"
# The window reads and writes "app.config" beside its program: each resolution runs a copy
# in a folder of its own, so that neither it nor the main window suite, built into the same
# folder and run at the same time, finds the other's settings.
run_dir=$root/run-$dpi
mkdir -p "$run_dir"
cp "$exe" "$run_dir/"
exe=$run_dir/$(basename "$exe")
# A sandbox of its own (own display, own wineserver), also when ctest runs inside one.
# In a prefix that has just been made, the desktop can take a while before it hosts the first
# window: the suite's first test, run quietly, waits for that (at most three tries).
seed=()
[ "${MQ_SANDBOX:-}" = 1 ] && [ -n "${WINEPREFIX:-}" ] && seed=(--seed "$WINEPREFIX")
exec env -u MQ_USE_DISPLAY MQ_EXPECT_DPI="$dpi" "$here/../../scripts/sandbox.sh" --prefix "$root/prefix-$dpi" \
  --dpi "$dpi" "${seed[@]}" -- bash -c '
    cd "$(dirname "$0")"
    for _ in 1 2 3; do
      env -u GTEST_OUTPUT /usr/lib/wine/wine64 "$0" --gtest_filter=MainWindowDpi.ThePrefixHasTheExpectedResolution \
        >/dev/null 2>&1 && break
      sleep 2
    done
    exec /usr/lib/wine/wine64 "$0" "$@"' "$exe" "$@"
