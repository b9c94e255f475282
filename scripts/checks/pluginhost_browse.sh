#!/usr/bin/env bash
# End to end: a home and an instance registered by simoracle show up in what pluginhost lists
# and describes through the real plug-in DLL, and are gone again once the home is removed.
set -uo pipefail
source "$(dirname "$0")/../env.sh"

BIN="$BUILD/bin"
HOME_NAME=BrowseCheckHome
SID=BRCHK
HOME_UNIX="$WINEPREFIX/drive_c/browse-check"
HOME_WIN='C:\browse-check'

for program in simoracle.exe rman.exe pluginhost.exe OraclePlugin.dll; do
    [ -f "$BIN/$program" ] || { echo "pluginhost_browse: $BIN/$program is missing"; exit 1; }
done

simoracle() { (cd "$BIN" && run_wine ./simoracle.exe "$@"); }
# pluginhost's exit status, a colon, then what it printed on standard output.
answer() {
    local output
    output=$(cd "$BIN" && run_wine ./pluginhost.exe "$@" | tr -d '\r')
    echo "$?:$output"
}
# The exit status of a listing, a colon, then the lines of that listing from the line that is
# exactly $1 to the next one that does not start with a blank.
homeInTree() {
    local tree=$1
    echo "${tree%%:*}:$(awk -v home="$2" '$0 == home {found = 1; print; next}
        found && /^ / {print; next} {found = 0}' <<<"${tree#*:}")"
}
cleanup() {
    simoracle remove-home "$HOME_NAME" >/dev/null 2>&1
    rm -rf "$HOME_UNIX"
}
failures=0
check() {
    local what=$1 expected=$2 actual=$3
    if [ "$expected" != "$actual" ]; then
        echo "pluginhost_browse: $what"
        echo "  expected: $(printf '%q' "$expected")"
        echo "  actual:   $(printf '%q' "$actual")"
        failures=$((failures + 1))
    fi
}
trap cleanup EXIT
cleanup

simoracle home "$HOME_NAME" "$HOME_WIN" || { echo "pluginhost_browse: simoracle home failed"; exit 1; }
check "a home without instances lists nothing" "0:" "$(answer list "$HOME_NAME")"
simoracle instance "$HOME_NAME" "$SID" --size 1 ||
    { echo "pluginhost_browse: simoracle instance failed"; exit 1; }

check "the tree shows the home with its instance" "0:$HOME_NAME
  $SID" "$(homeInTree "$(answer list)" "$HOME_NAME")"
check "one level: the instances of the home" "0:$SID" "$(answer list "$HOME_NAME")"
check "info on the home" "0:$HOME_NAME: Oracle home (attributes 0x10)" "$(answer info "$HOME_NAME")"
check "info on the instance" "0:$HOME_NAME\\$SID: database instance (attributes 0x80)" \
    "$(answer info "$HOME_NAME\\$SID")"
check "info on a missing instance" "1:$HOME_NAME\\NOSUCH: no such item" \
    "$(answer info "$HOME_NAME\\NOSUCH")"

simoracle remove-home "$HOME_NAME" || { echo "pluginhost_browse: simoracle remove-home failed"; exit 1; }
check "the removed home is gone from the tree" "0:" "$(homeInTree "$(answer list)" "$HOME_NAME")"

[ "$failures" -eq 0 ] && echo "pluginhost_browse: ok"
[ "$failures" -eq 0 ]
