#!/usr/bin/env bash
# Restore onto another machine: a stream made in the build's Wine prefix restores into a bare
# instance of the same SID, in another home, of a second, freshly made prefix, and the database
# there has the original's digest.
set -uo pipefail
source "$(dirname "$0")/../env.sh"
BIN="$BUILD/bin"
HOME_NAME=FreshCheckHome
SID=FRESH
PASSWORD='Fresh#Check-2718'
FIRST_PREFIX=$WINEPREFIX
SECOND_PREFIX="$BUILD/wineprefix-fresh"
OUT=$(mktemp)
cleanup() {
    rm -f "$OUT"
    (cd "$BIN" && WINEPREFIX=$FIRST_PREFIX run_wine ./simoracle.exe remove-home "$HOME_NAME" >/dev/null 2>&1)
    rm -rf "$FIRST_PREFIX/drive_c/fresh-check"
    WINEPREFIX=$SECOND_PREFIX "$WINESERVER" -k 2>/dev/null
    rm -rf "$SECOND_PREFIX"
}
trap cleanup EXIT

fail() { echo "FAIL: $*"; cat "$OUT"; exit 1; }
# Each runs in the prefix named by WINEPREFIX.
simoracle() { (cd "$BIN" && run_wine ./simoracle.exe "$@") | tr -d '\r'; }
host() {
    (cd "$BIN" && run_wine ./pluginhost.exe --set 'WSTempPath=C:\fresh-check\temp\' \
        --set UserName=system --set "Password=$PASSWORD" "$@") >"$OUT" 2>&1
}

# The first machine: an instance and its backup.
rm -rf "$FIRST_PREFIX/drive_c/fresh-check"
mkdir -p "$FIRST_PREFIX/drive_c/fresh-check/temp"
simoracle remove-home "$HOME_NAME" >/dev/null 2>&1
simoracle home "$HOME_NAME" 'C:\fresh-check\home' >/dev/null || fail "simoracle home"
simoracle instance "$HOME_NAME" "$SID" --password "$PASSWORD" --size 2 >/dev/null || fail "simoracle instance"
before=$(simoracle digest "$SID")
host backup "$HOME_NAME\\$SID" 'C:\fresh-check\FRESH.stream' || fail "backup exited non-zero"

# The second machine: a new prefix with Oracle installed and the instance's service created,
# nothing else; the stream is carried over.
rm -rf "$SECOND_PREFIX"
export WINEPREFIX=$SECOND_PREFIX
run_wine wineboot -i >/dev/null 2>&1 </dev/null
"$WINESERVER" -w 2>/dev/null
[ -f "$SECOND_PREFIX/system.reg" ] || fail "wineboot made no prefix"
mkdir -p "$SECOND_PREFIX/drive_c/fresh-check/temp"
cp "$FIRST_PREFIX/drive_c/fresh-check/FRESH.stream" "$SECOND_PREFIX/drive_c/fresh-check/" || fail "copy"
simoracle home "$HOME_NAME" 'C:\fresh-check\oracle\product' >/dev/null || fail "simoracle home (second prefix)"
simoracle instance "$HOME_NAME" "$SID" --password "$PASSWORD" --bare >/dev/null || fail "simoracle instance --bare"
[ "$(simoracle state "$SID")" = "down" ] || fail "the bare instance is not down"

host restore "$HOME_NAME\\$SID" 'C:\fresh-check\FRESH.stream' || fail "the restore in the second prefix failed"
grep -qF "$PASSWORD" "$OUT" && fail "the password is in the host's output"
after=$(simoracle digest "$SID")
[ -n "$before" ] && [ "$after" = "$before" ] || fail "digest $after in the second prefix, $before in the first"
[ "$(simoracle state "$SID")" = "open" ] || fail "the restored database is not open"
[ -z "$(ls -A "$SECOND_PREFIX/drive_c/fresh-check/temp")" ] || fail "temporary folders left behind"
echo "fresh prefix restore: ok (digest $after)"
