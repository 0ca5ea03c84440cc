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
flaky=()
rm -f build/failures.txt
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
  if [ "$rc" -ne 0 ] && [ -n "$line" ]; then
    # What the failing tests printed, kept before a second run overwrites the log.
    { echo "$preset, first run:"; python3 tools/failed_output.py "build/$preset"; } >> build/failures.txt
    # A test that fails once is run once more on its own: the Wine tests drive real windows
    # on a shared display, and a second failure is a failure. One that passes the second
    # time is named in the summary with what it printed the first time.
    echo "=== test $preset: running the failed tests once more"
    ctest --preset "$preset" --rerun-failed 2>&1 | tee "$log.again"
    rc=${PIPESTATUS[0]}
    names=$(grep -E '^\s*[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed' "$log.again" | grep -v ' harness_' \
            | sed -E 's/.*#[0-9]+: ([^ ]+) .*/\1/' | tr '\n' ' ')
    if [ -n "$names" ]; then
      flaky+=("$preset: ${names}failed once, passed when run again")
      n=$(echo $names | wc -w)
      passed=$((passed + n))
      failed=$((failed - n))
    fi
    if [ "$rc" -ne 0 ]; then
      { echo "$preset, second run:"; python3 tools/failed_output.py "build/$preset"; } >> build/failures.txt
    fi
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
if [ -s build/failures.txt ]; then
  echo "what the failing tests printed:"
  cat build/failures.txt
fi
[ ${#flaky[@]} -gt 0 ] && printf 'FLAKY %s\n' "${flaky[@]}"
printf '%s\n' "${summary[@]}"
echo "total: $passed passed, $failed failed"
exit $status
