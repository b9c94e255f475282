#!/usr/bin/env bash
# Installs what is missing, builds both builds, and runs every test. Exits non-zero when a test
# fails or no test ran; the last line counts them.
set -uo pipefail
source "$(dirname "$0")/env.sh"
"$ROOT/scripts/setup.sh" || exit 1
build_windows || exit 1
build_native || exit 1

passed=0
failed=0
logs=$(mktemp -d)

# Reads the counts of one GoogleTest run from its output.
count_gtest() {
    local log=$1 ok bad
    ok=$(grep -oE '^\[  PASSED  \] [0-9]+' "$log" | grep -oE '[0-9]+' | head -1)
    # Each failed test by name, once: a brief run prints no "listed below" summary.
    bad=$(grep -oE '^\[  FAILED  \] [^ ,]+\.[^ ,]+' "$log" | sort -u | wc -l)
    passed=$((passed + ${ok:-0}))
    failed=$((failed + bad))
}

run_suite() {
    local name=$1
    shift
    echo "== $name"
    "$@" --gtest_brief=1 >"$logs/$name.log" 2>&1
    local status=$?
    grep -E '^\[  FAILED  \]|Failure|error' "$logs/$name.log" | head -40
    local failedBefore=$failed
    count_gtest "$logs/$name.log"
    if [ $status -ne 0 ] && [ $failed -eq $failedBefore ]; then
        echo "$name ended abnormally (status $status):"
        tail -20 "$logs/$name.log"
        failed=$((failed + 1))
    fi
    tail -3 "$logs/$name.log"
}

run_suite native_tests "$NATIVE_BUILD/bin/native_tests"
pushd "$BUILD/bin" >/dev/null
run_suite plugin_tests run_wine ./plugin_tests.exe
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
