#!/usr/bin/env bash
# A bounded fuzz run of the stream unpacker (libFuzzer, native build) on the committed seed
# corpus. Fails when the fuzzer finds a crash, a leak or a broken rule of the unpacker.
set -uo pipefail
source "$(dirname "$0")/../env.sh"

FUZZER="$NATIVE_BUILD/bin/packer_fuzz"
SEEDS="$ROOT/tests/native/packer_fuzz/corpus"
SECONDS_TO_RUN=${PACKER_FUZZ_SECONDS:-30}

[ -x "$FUZZER" ] || { echo "packer_fuzz: $FUZZER is missing (native build with FUZZ=ON)"; exit 1; }

# New inputs go to a scratch corpus, never into the committed seeds.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$SEEDS"/* "$work/"
mkdir "$work/corpus" && mv "$work"/*.seed "$work/corpus/"

(cd "$work" && "$FUZZER" -max_total_time="$SECONDS_TO_RUN" -max_len=24000 -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 corpus) >"$work/log" 2>&1
status=$?
grep -E '^stat::number_of_executed_units|^Done' "$work/log"
if [ $status -ne 0 ]; then
    echo "packer_fuzz: the fuzzer failed (status $status):"
    grep -A25 -E 'ERROR|packer_fuzz:|Test unit written' "$work/log" | head -60
    # Keep the failing inputs beside the build for replaying: packer_fuzz <file>.
    mkdir -p "$NATIVE_BUILD/packer_fuzz-failures"
    cp "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$NATIVE_BUILD/packer_fuzz-failures/" \
        2>/dev/null
    exit 1
fi
echo "packer_fuzz: no failure in ${SECONDS_TO_RUN}s"
