#!/usr/bin/env bash
# The release as an administrator receives it: scripts/package.sh makes the archive (its build
# folder stays between runs), the unpacked files match their checksums, the only programs are the
# plug-in and pluginhost and both import nothing but Windows' own DLLs, the packaged pluginhost
# describes the packaged plug-in with the version in the archive's name, and the test host built
# in Microsoft's ABI drives the packaged plug-in through a backup and a restore (msvc_host.sh).
set -uo pipefail
source "$(dirname "$0")/../env.sh"
UNPACKED_UNIX="$WINEPREFIX/drive_c/package-check"
UNPACKED_WIN='C:\package-check'
# DLLs that every 64-bit Windows has in its system folder.
SYSTEM_DLLS=" advapi32.dll kernel32.dll msvcrt.dll version.dll "
DIST=$(mktemp -d)

fail() {
    echo "package: $*"
    exit 1
}
trap 'rm -rf "$DIST" "$UNPACKED_UNIX"' EXIT
rm -rf "$UNPACKED_UNIX"

DIST="$DIST" "$ROOT/scripts/package.sh" >"$DIST/package.log" 2>&1 ||
    { tail -20 "$DIST/package.log"; fail "scripts/package.sh failed"; }
archives=("$DIST"/OraclePlugin-*-win64.zip)
[ ${#archives[@]} -eq 1 ] && [ -f "${archives[0]}" ] || fail "not one archive: ${archives[*]}"
version=${archives[0]##*/OraclePlugin-}
version=${version%-win64.zip}
python3 -m zipfile -e "${archives[0]}" "$UNPACKED_UNIX" || fail "the archive does not unpack"
cd "$UNPACKED_UNIX" || exit 1

sha256sum --quiet -c SHA256SUMS || fail "a checksum does not match"
files=$(find . -type f ! -name SHA256SUMS | wc -l)
[ "$(wc -l <SHA256SUMS)" -eq "$files" ] || fail "SHA256SUMS does not list every file"
for file in HostInterfaces.h plugin/HostContract.h INSTALL.txt; do
    [ -f "$file" ] || fail "$file is missing"
done
programs=$(printf '%s ' *.dll *.exe)
[ "$programs" = "OraclePlugin.dll pluginhost.exe " ] || fail "the programs are: $programs"
grep -q "file version: $version.0" INSTALL.txt || fail "INSTALL.txt does not name version $version"
for program in *.dll *.exe; do
    for import in $(x86_64-w64-mingw32-objdump -p "$program" | sed -n 's/^\s*DLL Name: //p'); do
        [[ "$SYSTEM_DLLS" == *" ${import,,} "* ]] || fail "$program imports $import"
    done
done

description=$(run_wine ./pluginhost.exe info | tr -d '\r')
[ "${PIPESTATUS[0]}" -eq 0 ] || fail "pluginhost info failed: $description"
grep -qx "version: 1.0" <<<"$description" || fail "the plug-in's version is not 1.0: $description"
grep -qx "file version: $version.0" <<<"$description" ||
    fail "no line 'file version: $version.0': $description"

bash "$ROOT/scripts/checks/msvc_host.sh" "$UNPACKED_WIN\\OraclePlugin.dll" ||
    fail "the test host failed against the packaged plug-in"
echo "package: $(basename "${archives[0]}"): $programs$(stat -c %s OraclePlugin.dll) bytes"
echo "package: ok"
