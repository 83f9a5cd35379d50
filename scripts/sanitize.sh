#!/usr/bin/env bash
# Builds the storage and window tests with AddressSanitizer (leak checking
# included) and UndefinedBehaviorSanitizer in build-asan/ and runs every test
# program. The main window's and the loans window's programs run a second time
# with accessibility active and a stand-in screen reader asking after every
# change (SVAZKOVNA_TEST_ACCESSIBILITY=1), so that a list row reading data that
# is already gone fails here, not under a user's screen reader.
# Usage: scripts/sanitize.sh [test program...]   (default: all)
# Leaks inside the system's Qt, fontconfig, GLib and WebEngine libraries are
# suppressed in scripts/lsan.supp; leaks in our own code never are.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ASAN_BUILD_DIR:-$root/build-asan}

tests=("$@")
if [ ${#tests[@]} -eq 0 ]; then
  for f in $(find "$root/tests" -name "*_test.cpp" | sort); do
    tests+=("$(basename "$f" .cpp)")
  done
fi

# A warning fails this build: the everyday build only shows it, and an
# unoptimised build with the sanitizers sees code the other does not.
cmake -S "$root" -B "$build" -DSVAZKOVNA_SANITIZE=ON -DSVAZKOVNA_BENCH=OFF -DSVAZKOVNA_FUZZ=OFF \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-Werror >/dev/null || exit 2
cmake --build "$build" -j"${JOBS:-2}" --target "${tests[@]}" || exit 2

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$root/scripts/lsan.supp:print_suppressions=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1

logs=$build/sanitize-logs
mkdir -p "$logs"
failed=()
# run <test program> <log name> [VAR=value...]
run() {
  local t=$1 name=$2 log=$logs/$2.log extra=
  shift 2
  # The system's WebEngine library frees some of Chromium's objects with a
  # sized delete of a base type: checked there, every real page load aborts.
  # Only the program that loads real pages runs without that one check.
  [ "$t" = web_browser_test ] && extra=:new_delete_type_mismatch=0
  # Every test writes into its own temporary directories; run from the build tree.
  (cd "$build/tests" && env ASAN_OPTIONS="$ASAN_OPTIONS$extra" "$@" "$build/tests/$t") >"$log" 2>&1
  local rc=$?
  local summary
  summary=$(grep -E '^\[  (PASSED|FAILED)  \]' "$log" | head -2 | tr '\n' ' ')
  if [ $rc -ne 0 ]; then
    failed+=("$name")
    printf '%-28s FAILED (exit %d) %s log: %s\n' "$name" "$rc" "$summary" "$log"
    grep -m5 -E 'ERROR: (Address|Leak)Sanitizer|runtime error|SUMMARY|\[  FAILED  \]' "$log" | sed 's/^/    /'
  else
    printf '%-28s ok %s\n' "$name" "$summary"
  fi
}
for t in "${tests[@]}"; do
  run "$t" "$t"
done
for t in "${tests[@]}"; do
  if [ -f "$root/tests/app/window/$t.cpp" ] || [ -f "$root/tests/app/loans/$t.cpp" ]; then
    run "$t" "$t+a11y" SVAZKOVNA_TEST_ACCESSIBILITY=1
  fi
done
[ ${#failed[@]} -eq 0 ] || { echo "failed: ${failed[*]}"; exit 1; }
echo "all ${#tests[@]} test programs passed under the sanitizers"
