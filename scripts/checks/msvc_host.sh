#!/usr/bin/env bash
# A host built in Microsoft's C++ ABI (clang in Microsoft mode, lld-link, no C runtime) drives the
# real plug-in library under Wine: every slot, browsing with names across the big-allocation rule,
# settings of every length, a backup through Read and a restore through Write of a simulated
# instance. Also shows that the test host catches a plug-in built the old way, and that its
# allocator catches bad frees. The plug-in under test is the build's, or the one that the first
# argument names as Windows sees its path.
set -uo pipefail
source "$(dirname "$0")/../env.sh"
BIN="$BUILD/bin"
PLUGIN=${1:-OraclePlugin.dll}
HOME_NAME=MsvcHostHome
SID=MSVCHOSTDB
# Home names of 2,039 and 2,040 characters: their strings' buffers take 4,080 and 4,096 bytes.
EDGE_HOMES=("MsvcHostHome4080-$(printf 'L%.0s' $(seq 2022))" "MsvcHostHome4096-$(printf 'L%.0s' $(seq 2023))")
EDGE_KEYS=('HKLM\SOFTWARE\ORACLE\KEY_MsvcHostHome4080' 'HKLM\SOFTWARE\ORACLE\KEY_MsvcHostHome4096')
USER_NAME="msvc_user_$(printf 'u%.0s' $(seq 2100))"
PASSWORD='Msvc#Host-Pass'
WORK_UNIX="$WINEPREFIX/drive_c/msvc-host"
WORK_WIN='C:\msvc-host'
OUT=$(mktemp)

for program in msvchost.exe OldLayoutPlugin.dll OraclePlugin.dll simoracle.exe rman.exe; do
    [ -f "$BIN/$program" ] || { echo "msvc_host: $BIN/$program is missing"; exit 1; }
done
simoracle() { (cd "$BIN" && run_wine ./simoracle.exe "$@") | tr -d '\r'; }
msvchost() { (cd "$BIN" && run_wine ./msvchost.exe "$@") >"$OUT" 2>&1; }
cleanup() {
    simoracle remove-home "$HOME_NAME" >/dev/null 2>&1
    for key in "${EDGE_KEYS[@]}"; do (cd "$BIN" && run_wine reg delete "$key" /f) >/dev/null 2>&1; done
    rm -rf "$WORK_UNIX" "$OUT"
}
fail() { echo "msvc_host: $*"; tr -d '\r' <"$OUT" | cut -c1-200 | tail -20; exit 1; }
trap cleanup EXIT
cleanup
mkdir -p "$WORK_UNIX/temp"

simoracle home "$HOME_NAME" "$WORK_WIN\\home" >/dev/null || fail "simoracle home"
simoracle instance "$HOME_NAME" "$SID" --user "$USER_NAME" --password "$PASSWORD" --size 1 >/dev/null ||
    fail "simoracle instance"
for i in 0 1; do
    (cd "$BIN" && run_wine reg add "${EDGE_KEYS[$i]}" /v ORACLE_HOME_NAME /d "${EDGE_HOMES[$i]}" /f &&
        run_wine reg add "${EDGE_KEYS[$i]}" /v ORACLE_HOME /d "$WORK_WIN\\edgehome$i" /f) >/dev/null 2>&1 ||
        fail "cannot register the long-named homes"
done
before=$(simoracle digest "$SID")

msvchost "$PLUGIN" "$HOME_NAME" "$SID" "${EDGE_HOMES[@]}" "$USER_NAME" "$PASSWORD" "$WORK_WIN\\temp\\" \
    "simoracle.exe wreck $SID" || fail "the test host failed against the plug-in"
summary=$(tr -d '\r' <"$OUT" | grep '^msvchost: ')
[ "$(simoracle digest "$SID")" = "$before" ] || fail "the restored database differs"
[ "$(simoracle state "$SID")" = "open" ] || fail "the restored database is not open"
[ -z "$(ls -A "$WORK_UNIX/temp")" ] || fail "temporary folders left behind"

msvchost OldLayoutPlugin.dll "$HOME_NAME" "$SID" "${EDGE_HOMES[@]}" "$USER_NAME" "$PASSWORD" "$WORK_WIN\\temp\\" \
    "simoracle.exe wreck $SID" && fail "the test host accepted a plug-in built the old way"
grep -q '^step: settings' "$OUT" && fail "the test host got past the first object of the old plug-in"
wrong=$(tr -d '\r' <"$OUT" | grep -m1 -E '^FAIL|Unhandled exception' || echo "exit status only")
for bad in big foreign; do
    msvchost --check-allocator "$bad" && fail "the allocator missed a bad free ($bad)"
    grep -q '^FAIL: free of memory that' "$OUT" || fail "no allocator message for the $bad free"
done

echo "msvc_host: $summary"
echo "msvc_host: against a plug-in built the old way: $wrong"
echo "msvc_host: ok"
