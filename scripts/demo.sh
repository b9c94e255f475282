#!/usr/bin/env bash
# The main job: a backup and restore round trip of a simulated Oracle instance through the real
# plug-in DLL, driven by the command-line host, then the disaster: the whole instance lost and
# restored from the stream alone onto what is left, a bare instance. Installs what is missing,
# builds, prepares the Wine prefix, then prints each step and a one-line verdict. Exits non-zero
# when anything fails.
set -uo pipefail
source "$(dirname "$0")/env.sh"
"$ROOT/scripts/setup.sh" || exit 1
echo "== building"
build_windows >/dev/null || { echo "VERDICT: FAILED (build)"; exit 1; }

BIN="$BUILD/bin"
HOME_NAME=DemoHome
SID=DEMO
SIZE_MB=${DEMO_SIZE_MB:-64}
PASSWORD='Demo#Secret42'
DEMO_UNIX="$WINEPREFIX/drive_c/oracle-demo"
DEMO_WIN='C:\oracle-demo'
STREAM_UNIX="$DEMO_UNIX/DEMO.stream"
STREAM_WIN="$DEMO_WIN\\DEMO.stream"
LOG="$BUILD/demo-host.log"
HOST_SETTINGS=(--set "WSTempPath=$DEMO_WIN\\temp\\" --set UserName=system --set "Password=$PASSWORD")

fail() {
    echo "VERDICT: FAILED ($1)"
    "$WINESERVER" -k 2>/dev/null
    exit 1
}
step() { echo; echo "== $*"; }
simoracle() { (cd "$BIN" && run_wine ./simoracle.exe "$@"); }
# Runs pluginhost; its messages go to the log, and all but the Recovery Manager lines are shown.
pluginhost() {
    local status
    (cd "$BIN" && run_wine ./pluginhost.exe "${HOST_SETTINGS[@]}" "$@") 2>"$LOG.last"
    status=$?
    cat "$LOG.last" >>"$LOG"
    grep -v '^rman: ' "$LOG.last"
    local dialogue
    dialogue=$(grep -c '^rman: ' "$LOG.last")
    [ "$dialogue" -gt 0 ] && echo "($dialogue lines of Recovery Manager dialogue in $LOG)"
    rm -f "$LOG.last"
    return $status
}

rm -rf "$DEMO_UNIX" "$LOG"
mkdir -p "$DEMO_UNIX/temp"

step "simulated Oracle home $HOME_NAME and instance $SID ($SIZE_MB MB)"
simoracle remove-home "$HOME_NAME" >/dev/null 2>&1
simoracle home "$HOME_NAME" "$DEMO_WIN\\home" || fail "simoracle home"
simoracle instance "$HOME_NAME" "$SID" --user system --password "$PASSWORD" --size "$SIZE_MB" || fail "simoracle instance"

step "the tree the host browses"
pluginhost list || fail "pluginhost list"

step "digest of the database before the backup"
before=$(simoracle digest "$SID" | tr -d '\r') || fail "simoracle digest"
echo "$before"

step "backup of $HOME_NAME\\$SID into a stream file"
pluginhost backup "$HOME_NAME\\$SID" "$STREAM_WIN" || fail "backup"
ls -l "$STREAM_UNIX"

step "the stream, listed by GNU tar"
tar -tvf "$STREAM_UNIX" || fail "tar cannot read the stream"

step "disk loss: the data files are destroyed"
simoracle wreck "$SID" || fail "simoracle wreck"
echo "state: $(simoracle state "$SID" | tr -d '\r')"

# Restores the instance from the stream and fails the demo unless its digest is the original's.
restore_and_compare() {
    step "restore of $HOME_NAME\\$SID $1"
    pluginhost restore "$HOME_NAME\\$SID" "$STREAM_WIN" || fail "restore $1"
    echo "state: $(simoracle state "$SID" | tr -d '\r')"
    step "digest of the database after the restore $1"
    local after
    after=$(simoracle digest "$SID" | tr -d '\r') || fail "simoracle digest"
    echo "$after"
    [ -n "$before" ] && [ "$before" = "$after" ] || fail "the digest after the restore $1 differs"
}

restore_and_compare "from the stream"

step "disaster: the whole instance is lost (parameter file, control file, data files, logs)"
simoracle wreck "$SID" --all || fail "simoracle wreck --all"
echo "state: $(simoracle state "$SID" | tr -d '\r')"
# The simulator's own records of the instance (instance.state, faults.txt) are not shown.
echo "files of $SID left: $(cd "$DEMO_UNIX/home" && find database "oradata/$SID" -type f \
    ! -name instance.state ! -name faults.txt 2>/dev/null | tr '\n' ' ')"

restore_and_compare "onto the bare instance from the stream alone"

# Third act: a full stream at night and archived-log streams through the day, then the whole
# instance lost; the chain restored to its end, and again to a point before a bad change.
CHAIN_WIN=("$DEMO_WIN\\chain-full.stream" "$DEMO_WIN\\chain-logs1.stream" "$DEMO_WIN\\chain-logs2.stream")
touch_point() { simoracle touch "$SID" | tr -d '\r'; }

step "the chain: a full backup that releases the archived logs it holds"
pluginhost --set DeleteArchivedLogs=yes backup "$HOME_NAME\\$SID" "${CHAIN_WIN[0]}" || fail "chain full backup"
step "a change of the data (point A)"
point_a=$(touch_point) || fail "simoracle touch"
echo "$point_a"
step "an archived-log backup"
pluginhost --set DeleteArchivedLogs=yes --set BackupType=archivelog backup "$HOME_NAME\\$SID" "${CHAIN_WIN[1]}" || fail "archived-log backup 1"
step "a second change (point B), then a second archived-log backup"
point_b=$(touch_point) || fail "simoracle touch"
echo "$point_b"
pluginhost --set DeleteArchivedLogs=yes --set BackupType=archivelog backup "$HOME_NAME\\$SID" "${CHAIN_WIN[2]}" || fail "archived-log backup 2"
step "the chain, checked without a database"
(cd "$BIN" && run_wine ./pluginhost.exe verify "${CHAIN_WIN[@]}") | grep -E '^(described|  thread|  datafile|chain)' || fail "verify of the chain"

digest_of() { echo "${1##*digest }"; }
scn_of() { local rest=${1#SCN }; echo "${rest%% *}"; }
chain_and_compare() {
    local what=$1 expected=$2
    shift 2
    step "disaster: the whole instance is lost again"
    simoracle wreck "$SID" --all || fail "simoracle wreck --all"
    step "restore of the chain $what"
    pluginhost restore "$HOME_NAME\\$SID" "${CHAIN_WIN[@]}" "$@" || fail "chain restore $what"
    echo "state: $(simoracle state "$SID" | tr -d '\r')"
    local after
    after=$(simoracle digest "$SID" | tr -d '\r') || fail "simoracle digest"
    echo "digest $after, expected $expected"
    [ "$after" = "$expected" ] || fail "the digest after the chain restored $what differs"
}
chain_and_compare "to its end (point B)" "$(digest_of "$point_b")"
until_a=$(( $(scn_of "$point_a") + 1 ))
chain_and_compare "until SCN $until_a, just after point A" "$(digest_of "$point_a")" --until-scn "$until_a"

leftovers=$(find "$DEMO_UNIX/temp" -mindepth 1 | wc -l)
[ "$leftovers" -eq 0 ] || fail "$leftovers temporary files left behind"
grep -qF "$PASSWORD" "$LOG" && fail "the password appeared in the host's log"
"$WINESERVER" -k 2>/dev/null
echo
echo "VERDICT: OK - restored after the loss of its data files and of the whole instance, the database is identical to the one backed up ($(stat -c %s "$STREAM_UNIX") bytes streamed); the chain restored to its end and to the point after A gave the digests of B and of A"
