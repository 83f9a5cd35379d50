#!/usr/bin/env bash
# A long model-based run: seeds from the clock, each run for a number of steps
# in a fresh window, until the total is reached. Every seed is printed, so a
# failing one can be replayed with SVAZKOVNA_MODEL_SEED / SVAZKOVNA_MODEL_STEPS.
# Usage: model_long.sh [TOTAL_STEPS (50000)] [STEPS_PER_SEED (2000)] [path/to/model_test]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
total=${1:-50000}
per_seed=${2:-2000}
bin=${3:-${BUILD_DIR:-$root/build}/tests/model_test}
[ -x "$bin" ] || { echo "no model_test at $bin (build the target model_test)"; exit 1; }
export QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1

done_steps=0
start=$(date +%s)
while [ "$done_steps" -lt "$total" ]; do
  seed=$(( $(date +%s%N) % 4000000000 ))
  echo "seed $seed: $per_seed steps"
  if ! SVAZKOVNA_MODEL_SEED=$seed SVAZKOVNA_MODEL_STEPS=$per_seed "$bin" --gtest_filter=ModelTest.Replay \
       >"/tmp/model_long.$$.log" 2>&1; then
    grep -v propagateSizeHints "/tmp/model_long.$$.log" | tail -n 40
    echo "FAILED with seed $seed after $done_steps earlier steps"
    echo "replay: SVAZKOVNA_MODEL_SEED=$seed SVAZKOVNA_MODEL_STEPS=$per_seed $bin --gtest_filter=ModelTest.Replay"
    rm -f "/tmp/model_long.$$.log"
    exit 1
  fi
  done_steps=$((done_steps + per_seed))
done
rm -f "/tmp/model_long.$$.log"
echo "PASS: $done_steps model steps in $(( $(date +%s) - start )) s"
