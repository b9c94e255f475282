#!/usr/bin/env bash
# pluginhost end to end: a backup stream that standard tools can check and extract, one packed by
# hand with them, damaged streams that verify and the restore refuse without running Recovery
# Manager, and what verify shows of the description of a full and an archived-log stream.
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
verify() { (cd "$BIN" && run_wine ./pluginhost.exe verify "$@") 2>&1 | tr -d '\r' >"$OUT"; }
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
[ -e "$WORK_UNIX/good.stream.part" ] && fail "the backup left its partial stream"
# A backup that fails leaves the stream that FILE held untouched, and no partial one.
cp "$WORK_UNIX/good.stream" "$WORK_UNIX/kept.stream"
simoracle fault "$SID" fail "backup as*" >/dev/null || fail "simoracle fault"
host backup "$HOME_NAME\\$SID" "$WORK_WIN\\kept.stream" && fail "the failed backup exited zero"
simoracle fault "$SID" clear >/dev/null || fail "simoracle fault clear"
cmp -s "$WORK_UNIX/good.stream" "$WORK_UNIX/kept.stream" || fail "a failed backup changed the stream it would replace"
[ -e "$WORK_UNIX/kept.stream.part" ] && fail "the failed backup left its partial stream"
tar -xf "$WORK_UNIX/good.stream" -C "$WORK_UNIX/extracted" || fail "GNU tar cannot extract the stream"
(cd "$WORK_UNIX/extracted" && sha256sum --quiet -c SHA256SUMS) || fail "sha256sum -c disagrees with the manifest"
ls "$WORK_UNIX/extracted" | grep -q '\.bcp$' || fail "no database piece in the stream"
connected=$(grep -o 'connected to target database: [A-Z0-9]* (DBID=[0-9]*)' "$OUT" | head -1)
dbname=$(echo "$connected" | sed 's/.*: \([A-Z0-9]*\) .*/\1/')
dbid=$(echo "$connected" | sed 's/.*DBID=\([0-9]*\).*/\1/')
day=$(grep -o 'Starting backup at [0-9-]*' "$OUT" | head -1 | sed 's/.* //')
[ -n "$dbname" ] && [ -n "$dbid" ] && [ -n "$day" ] || fail "no DBID or date in the backup's log"

verify "$WORK_WIN\\good.stream" || fail "verify refused the good stream"
grep -qx "database $dbname, DBID $dbid, backup of $day" "$OUT" || fail "verify named the wrong database, DBID or date"
grep -q '^  database  .*\.bcp$' "$OUT" || fail "verify listed no database piece"
grep -qx 'verdict: accepted: a restore would take this stream' "$OUT" || fail "verify gave no verdict"
grep -qxE "described as: full backup of $dbname, DBID $dbid, tag ZT_BACKUP_TAG_[0-9]+" "$OUT" ||
    fail "verify did not show the full stream's description"
grep -qx '  datafile backup end: SCN [0-9]*' "$OUT" || fail "verify showed no end of the datafile backup"
thread='  thread 1: sequences [0-9]*-[0-9]*, SCN [0-9]*-[0-9]*, time [0-9: -]*'
grep -qx "$thread" "$OUT" || fail "verify showed no logs of the full stream"
verify - <"$WORK_UNIX/good.stream" || fail "verify refused the good stream on standard input"

# Streamed in pieces of 1 MiB while Recovery Manager writes them: many pieces, each once, and the
# standard tools take the stream as they take the whole dump's.
host --set PieceSize=1 backup "$HOME_NAME\\$SID" "$WORK_WIN\\pieces.stream" || fail "the streamed backup failed"
mkdir -p "$WORK_UNIX/pieces"
tar -xf "$WORK_UNIX/pieces.stream" -C "$WORK_UNIX/pieces" || fail "GNU tar cannot extract the streamed stream"
(cd "$WORK_UNIX/pieces" && sha256sum --quiet -c SHA256SUMS) || fail "sha256sum -c disagrees with the streamed manifest"
[ "$(tar -tf "$WORK_UNIX/pieces.stream" | grep -c '_[0-9]*_1\.bcp$')" -ge 3 ] || fail "the streamed stream holds too few pieces"
[ -z "$(tar -tf "$WORK_UNIX/pieces.stream" | sort | uniq -d)" ] || fail "the streamed stream holds an entry twice"
[ "$(tar -tf "$WORK_UNIX/pieces.stream" | tail -1)" = SHA256SUMS ] || fail "the streamed stream does not end with its manifest"

# The archived logs alone: sound, described, and not a stream that a restore takes.
host --set BackupType=archivelog backup "$HOME_NAME\\$SID" "$WORK_WIN\\logs.stream" || fail "the archived-log backup failed"
verify "$WORK_WIN\\logs.stream" || fail "verify refused the archived-log stream"
grep -qxE "described as: archivelog backup of $dbname, DBID $dbid, tag ZT_BACKUP_TAG_[0-9]+" "$OUT" ||
    fail "verify did not show the archived-log stream's description"
grep -qx "$thread" "$OUT" || fail "verify showed no logs of the archived-log stream"
grep -q '^  database ' "$OUT" && fail "the archived-log stream holds a database piece"
grep -qx 'verdict: sound: the archived logs are whole and of one database; a restore applies them after the streams before them in a chain' \
    "$OUT" || fail "verify gave no verdict on the archived-log stream"
# The two as a chain: complete, from the full stream's earliest point; the other way round,
# refused.
verify "$WORK_WIN\\good.stream" "$WORK_WIN\\logs.stream" || fail "verify refused the chain"
grep -qE '^chain: complete: a restore recovers to any point from SCN [0-9]+ .*up to, not including, SCN [0-9]+' \
    "$OUT" || fail "verify did not say which points the chain covers"
verify "$WORK_WIN\\logs.stream" "$WORK_WIN\\good.stream" && fail "verify took a chain that begins with archived logs"
grep -qx 'chain: refused: the first stream of a chain must be a full backup' "$OUT" ||
    fail "verify did not say why the chain is refused"

# Packed by hand, as the README shows: tar of the pieces, then the manifest appended last.
# Without the description, as a stream made before descriptions: it verifies and restores.
mkdir -p "$WORK_UNIX/byhand" && cp "$WORK_UNIX/extracted"/* "$WORK_UNIX/byhand/" &&
    rm "$WORK_UNIX/byhand/SHA256SUMS" "$WORK_UNIX/byhand/BACKUP-DESCRIPTION.txt"
(cd "$WORK_UNIX/byhand" && tar -cf ../nomanifest.stream --format=pax -- * &&
    tar -cf ../byhand.stream --format=pax -- * && sha256sum -- * > SHA256SUMS &&
    tar -rf ../byhand.stream --format=pax SHA256SUMS) || fail "packing by hand failed"
verify "$WORK_WIN\\byhand.stream" || fail "verify refused the stream packed by hand"
grep -qx 'described as: nothing (a stream made before descriptions, or by hand)' "$OUT" ||
    fail "verify described a stream without a description"
# Another database's piece mixed in, and a file named like a piece that no template made.
piece=$(cd "$WORK_UNIX/byhand" && ls *.bcp | head -1)
other=$(echo "$piece" | sed "s/-$dbid-/-4242424242-/")
(cd "$WORK_UNIX/byhand" && rm SHA256SUMS && cp "$piece" "$other" && tar -cf ../mixed.stream --format=pax -- * &&
    sha256sum -- * > SHA256SUMS && tar -rf ../mixed.stream --format=pax SHA256SUMS &&
    rm SHA256SUMS "$other" && echo evil >evil.bcp && tar -cf ../foreign.stream --format=pax -- * &&
    sha256sum -- * > SHA256SUMS && tar -rf ../foreign.stream --format=pax SHA256SUMS &&
    rm SHA256SUMS evil.bcp) || fail "packing by hand failed"

size=$(stat -c %s "$WORK_UNIX/good.stream")
cp "$WORK_UNIX/good.stream" "$WORK_UNIX/flipped.stream"
printf '\x5a' | dd of="$WORK_UNIX/flipped.stream" bs=1 seek=$((size / 2)) conv=notrunc status=none
head -c $((size / 3)) "$WORK_UNIX/good.stream" >"$WORK_UNIX/cut.stream"
while read -r damaged reason; do
    verify "$WORK_WIN\\$damaged.stream" && fail "verify accepted the $damaged stream"
    grep -q "^verdict: refused: .*$reason" "$OUT" || fail "verify gave no reason for the $damaged stream"
done <<'STREAMS'
flipped The backup stream is damaged: 
cut The backup stream is incomplete: 
nomanifest the archive ends without its manifest SHA256SUMS
mixed The backup holds pieces of more than one database: .*(DBID 4242424242)
foreign does not follow its template '%d-%I-%T-%U.bcp': 'evil.bcp'
STREAMS
find "$WINEPREFIX/drive_c" -name 'pluginhost-verify-*' | grep -q . && fail "verify left its scratch folder"

for damaged in flipped cut nomanifest; do
    host restore "$HOME_NAME\\$SID" "$WORK_WIN\\$damaged.stream" && fail "the $damaged stream was restored"
    grep -q '^error: ' "$OUT" || fail "no error message for the $damaged stream"
    grep -q '^rman: ' "$OUT" && fail "Recovery Manager ran for the $damaged stream"
    [ "$(simoracle digest "$SID")" = "$before" ] || fail "the $damaged stream changed the database"
    [ "$(simoracle state "$SID")" = "open" ] || fail "the $damaged stream left the database not open"
done
# A point on the command line becomes the setting of its kind, checked at Open.
host restore "$HOME_NAME\\$SID" "$WORK_WIN\\good.stream" --until-time 'not a time' &&
    fail "a restore took a malformed --until-time"
grep -q "the setting RecoverUntilTime is 'not a time'" "$OUT" || fail "--until-time did not set RecoverUntilTime"
[ -z "$(ls -A "$WORK_UNIX/temp")" ] || fail "temporary folders left behind"

simoracle wreck "$SID" >/dev/null || fail "simoracle wreck"
host restore "$HOME_NAME\\$SID" "$WORK_WIN\\good.stream" || fail "the restore of the good stream failed"
grep -qF "$PASSWORD" "$OUT" && fail "the password is in the host's output"
[ "$(simoracle digest "$SID")" = "$before" ] || fail "the restored database differs"
simoracle wreck "$SID" >/dev/null || fail "simoracle wreck"
host restore "$HOME_NAME\\$SID" "$WORK_WIN\\byhand.stream" || fail "the restore of the stream packed by hand failed"
[ "$(simoracle digest "$SID")" = "$before" ] || fail "the database restored from the stream packed by hand differs"
echo "pluginhost streams: ok"
