#!/usr/bin/env bash
# Installs what is missing, builds both builds, and runs every test. Exits non-zero when a test
# fails, a suite does not finish (it crashes, hangs past SUITE_TIME_LIMIT seconds or reports fewer
# tests than it lists) or no test ran; the last line counts them.
set -uo pipefail
source "$(dirname "$0")/env.sh"
"$ROOT/scripts/setup.sh" || exit 1
build_windows || exit 1
build_native || exit 1

passed=0
failed=0
logs=$(mktemp -d)
# Seconds that one suite may run before it counts as hung; SUITE_TIME_LIMIT overrides.
suite_limit=${SUITE_TIME_LIMIT:-900}

# How many tests a GoogleTest binary lists, the disabled ones left out.
count_listed() {
    timeout --kill-after=10 300 "$@" --gtest_list_tests 2>/dev/null | awk '
        /^[^ ]/ { suite = $1 }
        /^  [^ ]/ { if (suite !~ /(^|\/)DISABLED_/ && $1 !~ /^DISABLED_/) listed++ }
        END { print listed + 0 }'
}

# How many tests of a run's output ended with the result (OK, FAILED, SKIPPED), each once.
count_results() {
    local log=$1 result=$2
    grep -oE "^\[ *$result *\] [^ ,]+\.[^ ,]+" "$log" | sort -u | wc -l
}

# Runs one GoogleTest binary within the time limit. A suite that does not report every test it
# lists (it crashed, hung or stopped early) fails, whatever its exit status: Wine may give 0 for
# a program that crashed.
run_suite() {
    local name=$1
    shift
    echo "== $name"
    local log="$logs/$name.log" listed status ok bad skipped
    listed=$(count_listed "$@")
    timeout --kill-after=30 "$suite_limit" "$@" >"$log" 2>&1
    status=$?
    grep -E '^\[  FAILED  \]|Failure|error' "$log" | head -40
    ok=$(count_results "$log" OK)
    bad=$(count_results "$log" FAILED)
    skipped=$(count_results "$log" SKIPPED)
    passed=$((passed + ok))
    failed=$((failed + bad))
    local reported=$((ok + bad + skipped))
    if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
        echo "$name did not finish within ${suite_limit}s and was stopped"
    fi
    if [ "$listed" -eq 0 ]; then
        echo "$name lists no test (status $status)"
        failed=$((failed + 1))
    elif [ "$reported" -lt "$listed" ]; then
        echo "$name did not finish: $reported of its $listed tests reported (status $status);" \
            "the $((listed - reported)) others count as failed:"
        tail -20 "$log"
        failed=$((failed + listed - reported))
    elif [ "$status" -ne 0 ] && [ "$bad" -eq 0 ]; then
        echo "$name ended abnormally (status $status):"
        tail -20 "$log"
        failed=$((failed + 1))
    fi
    if [ "$reported" -lt "$listed" ] || [ "$status" -ne 0 ]; then
        # Whatever it started under Wine (Recovery Manager simulators, a hung test) ends too.
        "$WINESERVER" -k 2>/dev/null || true
    fi
    tail -3 "$log"
}

run_suite native_tests "$NATIVE_BUILD/bin/native_tests"
pushd "$BUILD/bin" >/dev/null
run_suite plugin_tests "$WINE" ./plugin_tests.exe
popd >/dev/null

for check in "$ROOT"/scripts/checks/*.sh; do
    [ -f "$check" ] || continue
    echo "== $(basename "$check")"
    if bash "$check"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
done

"$WINESERVER" -k 2>/dev/null || true
echo
echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
