#!/usr/bin/env bash
# pluginhost end to end: a backup stream that standard tools can check and extract, and damaged
# streams that the restore refuses without running Recovery Manager.
set -uo pipefail
source "$(dirname "$0")/../env.sh"
BIN="$BUILD/bin"
HOME_NAME=StreamCheckHome
SID=STRCHK
PASSWORD='Str#Check-5150'
WORK_UNIX="$WINEPREFIX/drive_c/stream-check"
WORK_WIN='C:\stream-check'
OUT=$(mktemp)
trap 'rm -f "$OUT"; (cd "$BIN" && run_wine ./simoracle.exe remove-home "$HOME_NAME" >/dev/null 2>&1); rm -rf "$WORK_UNIX"' EXIT

fail() { echo "FAIL: $*"; cat "$OUT"; exit 1; }
simoracle() { (cd "$BIN" && run_wine ./simoracle.exe "$@") | tr -d '\r'; }
host() {
    (cd "$BIN" && run_wine ./pluginhost.exe --set "WSTempPath=$WORK_WIN\\temp\\" --set UserName=system \
        --set "Password=$PASSWORD" "$@") >"$OUT" 2>&1
}

rm -rf "$WORK_UNIX"
mkdir -p "$WORK_UNIX/temp" "$WORK_UNIX/extracted"
simoracle remove-home "$HOME_NAME" >/dev/null 2>&1
simoracle home "$HOME_NAME" "$WORK_WIN\\home" >/dev/null || fail "simoracle home"
simoracle instance "$HOME_NAME" "$SID" --password "$PASSWORD" --size 2 >/dev/null || fail "simoracle instance"
before=$(simoracle digest "$SID")

host backup "$HOME_NAME\\$SID" "$WORK_WIN\\good.stream" || fail "backup exited non-zero"
grep -qF "$PASSWORD" "$OUT" && fail "the password is in the host's output"
tar -xf "$WORK_UNIX/good.stream" -C "$WORK_UNIX/extracted" || fail "GNU tar cannot extract the stream"
(cd "$WORK_UNIX/extracted" && sha256sum --quiet -c SHA256SUMS) || fail "sha256sum -c disagrees with the manifest"
ls "$WORK_UNIX/extracted" | grep -q '\.bcp$' || fail "no database piece in the stream"

size=$(stat -c %s "$WORK_UNIX/good.stream")
cp "$WORK_UNIX/good.stream" "$WORK_UNIX/flipped.stream"
printf '\x5a' | dd of="$WORK_UNIX/flipped.stream" bs=1 seek=$((size / 2)) conv=notrunc status=none
head -c $((size / 3)) "$WORK_UNIX/good.stream" >"$WORK_UNIX/cut.stream"
for damaged in flipped cut; do
    host restore "$HOME_NAME\\$SID" "$WORK_WIN\\$damaged.stream" && fail "the $damaged stream was restored"
    grep -q '^error: ' "$OUT" || fail "no error message for the $damaged stream"
    grep -q '^rman: ' "$OUT" && fail "Recovery Manager ran for the $damaged stream"
    [ "$(simoracle digest "$SID")" = "$before" ] || fail "the $damaged stream changed the database"
    [ "$(simoracle state "$SID")" = "open" ] || fail "the $damaged stream left the database not open"
done
[ -z "$(ls -A "$WORK_UNIX/temp")" ] || fail "temporary folders left behind"

simoracle wreck "$SID" >/dev/null || fail "simoracle wreck"
host restore "$HOME_NAME\\$SID" "$WORK_WIN\\good.stream" || fail "the restore of the good stream failed"
grep -qF "$PASSWORD" "$OUT" && fail "the password is in the host's output"
[ "$(simoracle digest "$SID")" = "$before" ] || fail "the restored database differs"
echo "pluginhost streams: ok"
