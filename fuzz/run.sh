#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for SECONDS, one after another (or TARGET ...
# only). Corpora grow in build-fuzz/corpus/TARGET, starting from the seeds of the test-only
# builders; crashes land in build-fuzz/findings/TARGET. Prints executions, coverage and findings
# per target, and exits non-zero if any target found a crash.
#   fuzz/run.sh SECONDS [TARGET ...]
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:?usage: fuzz/run.sh SECONDS [TARGET ...]}
shift
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_kozinski fuzz_enigma_decode fuzz_enigma_round_trip fuzz_nemesis fuzz_nemesis_scan fuzz_crackers)

build=build-fuzz
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DGENESIS_FUZZ=ON -DGENESIS_TESTS=OFF >/dev/null || exit 1
cmake --build "$build" -j2 >/dev/null || exit 1
"$build/fuzz/make_fuzz_seeds" "$build/corpus" || exit 1

failed=0
for target in "${targets[@]}"; do
  mkdir -p "$build/corpus/$target" "$build/findings/$target"
  log="$build/findings/$target.log"
  "$build/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=4096 -print_final_stats=1 \
    -artifact_prefix="$build/findings/$target/" "$build/corpus/$target" >"$log" 2>&1
  status=$?
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')
  cov=$(grep -E '^#[0-9]+' "$log" | grep -o 'cov: [0-9]*' | tail -1)
  crashes=$(find "$build/findings/$target" -type f | wc -l)
  printf '%-24s %s executions, %s, %s findings\n' "$target" "${runs:-?}" "${cov:-cov: ?}" "$crashes"
  if [ $status -ne 0 ] || [ "$crashes" -ne 0 ]; then
    failed=1
    tail -n 30 "$log"
  fi
done
exit $failed
