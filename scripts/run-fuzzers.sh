#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a bounded time each.
#   scripts/run-fuzzers.sh BUILD_DIR SECONDS_EACH   (MQ_FUZZ_MAX_LEN: largest input, 65536)
# Seeds come from fuzz/corpus/<target>/, from the test data that fuzz/corpus/<target>.seeds
# names (one path pattern a line, below the checkout's root) and from fuzz/regressions/
# <target>/; they are copied to a scratch corpus, so the checkout is never written.
# Each target first runs once over every kept regression case (fuzz/regressions/<target>/
# NAME: an input that once crashed or hung it, named after what it broke), then fuzzes. A new
# find is kept in BUILD_DIR/fuzz-finds/<target>/ to be added to the regression cases.
# Prints "<target> ok <execs>" or "<target> FAILED" per target and exits non-zero if any
# target failed a regression case or found a crash.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
build=$(realpath "$1")
seconds=${2:-30}
# Inputs up to 64 KiB: large enough for the shapes that only hurt at size (long runs of one
# character, many repeats), which the default limit of 4 KiB never reaches.
max_len=${MQ_FUZZ_MAX_LEN:-65536}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

mapfile -t targets < <(find "$build/fuzz" -type f -perm -u+x -name '*fuzz*' 2>/dev/null | sort)
passed=0 failed=0
for t in "${targets[@]}"; do
  name=$(basename "$t")
  corpus="$scratch/$name"
  mkdir -p "$corpus"
  [ -d "$root/fuzz/corpus/$name" ] && cp -r "$root/fuzz/corpus/$name/." "$corpus/"
  if [ -f "$root/fuzz/corpus/$name.seeds" ]; then
    while read -r pattern; do
      [ -n "$pattern" ] || continue
      for seed in "$root"/$pattern; do [ -f "$seed" ] && cp "$seed" "$corpus/"; done
    done <"$root/fuzz/corpus/$name.seeds"
  fi
  log="$build/$name.log"
  regressions=()
  if [ -d "$root/fuzz/regressions/$name" ]; then
    mapfile -t regressions < <(find "$root/fuzz/regressions/$name" -type f | sort)
  fi
  if [ ${#regressions[@]} -gt 0 ]; then
    if ! (cd "$scratch" && "$t" -timeout=10 -rss_limit_mb=2048 "${regressions[@]}") >"$log" 2>&1; then
      echo "  $name FAILED a regression case (log: $log)"
      tail -n 30 "$log" | sed 's/^/    /'
      failed=$((failed + 1))
      continue
    fi
    cp "${regressions[@]}" "$corpus/"
  fi
  dict=()
  [ -f "$root/fuzz/corpus/$name.dict" ] && dict=(-dict="$root/fuzz/corpus/$name.dict")
  finds="$build/fuzz-finds/$name"
  mkdir -p "$finds"
  if (cd "$scratch" && "$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="$max_len" \
        -artifact_prefix="$finds/" -print_final_stats=1 "${dict[@]}" "$corpus") >"$log" 2>&1; then
    execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -n1)
    echo "  $name ok ${execs:-?} runs"
    passed=$((passed + 1))
  else
    echo "  $name FAILED (log: $log)"
    tail -n 30 "$log" | sed 's/^/    /'
    echo "    the input is kept in $finds/: once fixed, add it as fuzz/regressions/$name/<what-it-broke>"
    failed=$((failed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed" >&2
echo "$passed $failed" > "$build/fuzz-summary.txt"
[ "$failed" -eq 0 ]
