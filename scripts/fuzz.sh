#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each for a
# bounded time. Usage: scripts/fuzz.sh [seconds per target, default 60] [target...]
# Prints the executions per target and any crash files; exits non-zero when
# a target found a crash (or a property failed).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${1:-60}
shift || true

# Longest input per target: enough to pass the limits they check (2047-byte
# settings values, 255-byte text fields) without slowing the search.
declare -A max_len=(
  [fuzz_param_scan]=4096 [fuzz_update_macro]=4096 [fuzz_field_info]=256
  [fuzz_sql_literal]=4096 [fuzz_profile]=8192 [fuzz_codepage]=4096 [fuzz_csv]=4096 [fuzz_loan_date]=512
  [fuzz_marc]=8192 [fuzz_openlibrary]=4096 [fuzz_isbn]=256
  [fuzz_import_goodreads]=8192 [fuzz_import_librarything]=8192 [fuzz_import_calibre]=8192
  [fuzz_import_tellico]=8192 [fuzz_import_csv_reader]=8192
)
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(fuzz_param_scan fuzz_update_macro fuzz_field_info fuzz_sql_literal fuzz_profile fuzz_codepage fuzz_csv fuzz_loan_date fuzz_marc fuzz_openlibrary fuzz_isbn
  fuzz_import_goodreads fuzz_import_librarything fuzz_import_calibre fuzz_import_tellico fuzz_import_csv_reader)

cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DSVAZKOVNA_FUZZ=ON -DSVAZKOVNA_BENCH=OFF -DBUILD_TESTING=OFF >/dev/null || exit 2
cmake --build "$build" -j"${JOBS:-2}" --target "${targets[@]}" || exit 2

failed=0
printf '\n%-20s %12s %10s  %s\n' target executions exec/s result
for t in "${targets[@]}"; do
  # The checked-in seeds stay as they are; what the fuzzer adds goes to the build tree.
  work=$build/fuzz-corpus/$t
  crashes=$build/fuzz-crashes/$t
  # Crash files of an earlier run are gone: each run reports its own.
  rm -rf "$crashes"
  mkdir -p "$work" "$crashes"
  log=$build/fuzz-logs/$t.log
  mkdir -p "$(dirname "$log")"
  ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
    QT_QPA_PLATFORM=offscreen \
    "$build/fuzz/$t" -max_total_time="$seconds" -max_len="${max_len[$t]:-4096}" -timeout=10 \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$crashes/" \
      "$work" "$root/fuzz/corpus/$t" >"$log" 2>&1
  rc=$?
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
  speed=$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$' | tail -1)
  found=$(ls "$crashes" 2>/dev/null | grep -E '^(crash|leak|timeout|oom)-' || true)
  if [ $rc -ne 0 ] || [ -n "$found" ]; then
    failed=1
    printf '%-20s %12s %10s  %s\n' "$t" "${runs:-?}" "${speed:-?}" "FAILED (exit $rc), log: $log"
    for f in $found; do echo "    crash file: $crashes/$f"; done
    grep -m3 -E 'property failed|ERROR: |runtime error' "$log" | sed 's/^/    /'
  else
    printf '%-20s %12s %10s  %s\n' "$t" "${runs:-?}" "${speed:-?}" ok
  fi
done
exit $failed
