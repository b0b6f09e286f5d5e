#!/usr/bin/env bash
# Runs every libFuzzer target of a fuzz build for a bounded time each.
#   scripts/run-fuzzers.sh BUILD_DIR SECONDS_EACH   (MQ_FUZZ_MAX_LEN: largest input, 65536)
# Seeds come from fuzz/corpus/<target>/ and are copied to a scratch corpus, so the
# checkout is never written. Prints "<target> ok <execs>" or "<target> FAILED" per target and
# exits non-zero if any target found a crash.
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
  log="$build/$name.log"
  dict=()
  [ -f "$root/fuzz/corpus/$name.dict" ] && dict=(-dict="$root/fuzz/corpus/$name.dict")
  if (cd "$scratch" && "$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="$max_len" \
        -print_final_stats=1 "${dict[@]}" "$corpus") >"$log" 2>&1; then
    execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -n1)
    echo "  $name ok ${execs:-?} runs"
    passed=$((passed + 1))
  else
    echo "  $name FAILED (log: $log)"
    tail -n 30 "$log" | sed 's/^/    /'
    failed=$((failed + 1))
  fi
done
echo "fuzz: $passed passed, $failed failed" >&2
echo "$passed $failed" > "$build/fuzz-summary.txt"
[ "$failed" -eq 0 ]
