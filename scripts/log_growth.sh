#!/usr/bin/env bash
# What DeleteArchivedLogs does to the archive folder and to the streams: four full backups of one
# simulated instance, its data changed before each but the first, once keeping the archived logs
# and once releasing them. For each backup: the logs in the archive folder before and after it,
# the logs its stream carries (from its description) and the bytes of its archived-log pieces.
# Prints figures; it is not a test. Needs the Windows build (./scripts/test.sh or build_windows).
set -uo pipefail
source "$(dirname "$0")/env.sh"
# The instance GROWTH of the home LogGrowthHome, under C:\log-growth of the Wine prefix.
WORK_UNIX="$WINEPREFIX/drive_c/log-growth"
ARCHIVE="$WORK_UNIX/home/oradata/GROWTH/archive"
OUT=$(mktemp)

simoracle() { (cd "$BUILD/bin" && run_wine ./simoracle.exe "$@") >"$OUT" 2>&1; }
pluginhost() { (cd "$BUILD/bin" && run_wine ./pluginhost.exe "$@") 2>&1 | tr -d '\r' >"$OUT"; }
cleanup() {
    simoracle remove-home LogGrowthHome
    rm -rf "$WORK_UNIX" "$OUT"
}
trap cleanup EXIT
fail() { echo "log_growth: $*"; cat "$OUT"; exit 1; }
# The archived logs on disk: how many, and their bytes.
archive() {
    find "$ARCHIVE" -type f -printf '%s\n' 2>/dev/null |
        awk '{ n++; b += $1 } END { printf "%d (%.1f KB)", n, b / 1024 }'
}

for release in no yes; do
    rm -rf "$WORK_UNIX"
    mkdir -p "$WORK_UNIX/temp"
    simoracle remove-home LogGrowthHome
    simoracle home LogGrowthHome 'C:\log-growth\home' || fail "simoracle home"
    simoracle instance LogGrowthHome GROWTH --size 2 || fail "simoracle instance"
    echo "DeleteArchivedLogs=$release"
    printf '%-7s %-15s %-14s %-18s %s\n' backup "archive before" "archive after" "stream's logs" \
        "archived-log pieces"
    for backup in 1 2 3 4; do
        if [ "$backup" -gt 1 ]; then
            simoracle touch GROWTH || fail "simoracle touch"
        fi
        before=$(archive)
        pluginhost --set 'WSTempPath=C:\log-growth\temp\' --set UserName=system --set Password=manager \
            --set "DeleteArchivedLogs=$release" backup 'LogGrowthHome\GROWTH' "C:\\log-growth\\$backup.stream" ||
            fail "backup $backup"
        after=$(archive)
        pluginhost verify "C:\\log-growth\\$backup.stream" || fail "verify $backup"
        sequences=$(grep -o 'thread 1: sequences [0-9]*-[0-9]*' "$OUT" | sed 's/.* //')
        pieces=$(awk '$1 == "archivelog" { bytes += $2 } END { printf "%.1f KB", bytes / 1024 }' "$OUT")
        printf '%-7s %-15s %-14s %-18s %s\n' "$backup" "$before" "$after" "$sequences" "$pieces"
    done
    echo
done
