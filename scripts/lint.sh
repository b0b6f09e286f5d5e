#!/usr/bin/env bash
# The machine-kept conventions.
#
#   scripts/lint.sh format   every C++ file of the tree is as clang-format (.clang-format) writes it
#   scripts/lint.sh tidy     clang-tidy (.clang-tidy) finds nothing in the portable code
#   scripts/lint.sh          both
#
# Exits non-zero on a finding. `format` lists the files that differ and shows how; fix them
# with: git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format-14 -i
# `tidy` uses the native build's compile commands (it configures the native preset first).
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
cd "$root"

format_bin=$(command -v clang-format-14 || command -v clang-format)
tidy_bin=$(command -v run-clang-tidy-14 || command -v run-clang-tidy)
portable='^'"$root"'/(app|bar|base|config|feeds|gui|http|image|net|shell|ticker|xml)/[^/]+\.cpp$'

check_format() {
  local bad=0 f
  while IFS= read -r -d '' f; do
    if ! "$format_bin" --dry-run --Werror "$f" >/dev/null 2>&1; then
      echo "format: $f is not formatted:"
      "$format_bin" "$f" | diff -u "$f" - | head -n 20
      bad=1
    fi
  done < <(git ls-files -z -- '*.cpp' '*.h')
  [ $bad -eq 0 ] && echo "format: every file as clang-format writes it"
  return $bad
}

check_tidy() {
  cmake --preset native >out/lint-configure.log 2>&1 || { cat out/lint-configure.log; return 1; }
  local log=out/lint-tidy.log
  if "$tidy_bin" -quiet -j "$(nproc)" -p out/native "$portable" >"$log" 2>&1 &&
     ! grep -q 'error:' "$log"; then
    echo "tidy: no findings"
    return 0
  fi
  grep -E 'error:|warning:' "$log" | sed 's/\x1b\[[0-9;]*m//g' | sort -u | head -n 60
  return 1
}

mkdir -p out
what=${1:-all}
rc=0
case "$what" in
  format) check_format || rc=1 ;;
  tidy) check_tidy || rc=1 ;;
  all) check_format || rc=1; check_tidy || rc=1 ;;
  *) echo "usage: $0 [format|tidy]"; exit 2 ;;
esac
exit $rc
