#!/bin/bash
# The whole test suite: installs what is missing, configures and builds the four
# builds (native, sanitize, win32, win64) and runs every test (native, sanitize,
# then win64 under Wine). Exits non-zero on any failure.
#   tools/test.sh            everything
#   tools/test.sh -R NAME    only tests matching NAME (in every build that has them)
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
bash tools/install-deps.sh || exit 1

jobs=${TX_JOBS:-2}
status=0
for preset in native sanitize win32 win64; do
  echo "=== build $preset"
  # Configuring again is cheap, and it picks up folders that arrived since the last run.
  cmake --preset "$preset" >/dev/null || { echo "configure $preset failed"; exit 1; }
  cmake --build --preset "$preset" -j "$jobs" || { echo "build $preset failed"; exit 1; }
done
mkdir -p build/screenshots
passed=0
failed=0
summary=()
for preset in native sanitize win64; do
  echo "=== test $preset"
  log="build/$preset/ctest-summary.log"
  ctest --preset "$preset" -j "$jobs" "$@" 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  # "N% tests passed, F tests failed out of T"
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
  if [ -n "$line" ]; then
    f=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/')
    t=$(echo "$line" | sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/')
    passed=$((passed + t - f))
    failed=$((failed + f))
  fi
  if [ "$rc" -eq 0 ]; then
    summary+=("$preset: passed")
  else
    summary+=("$preset: FAILED")
    status=1
    [ -z "$line" ] && failed=$((failed + 1))
  fi
done
echo "=== summary"
printf '%s\n' "${summary[@]}"
echo "total: $passed passed, $failed failed"
exit $status
