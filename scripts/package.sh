#!/usr/bin/env bash
# Makes a release: builds the plug-in library and the command-line host optimised in a build
# folder of their own (build-release; RELEASE_BUILD overrides it), strips them, and writes
# dist/OraclePlugin-VERSION-win64.zip (DIST overrides the folder) holding them, the host contract
# header, INSTALL.txt and SHA256SUMS of those files. The version is the one in the top
# CMakeLists.txt. Installs what is missing first; prints the archive's path, then the size and
# the imported DLLs of each program.
set -euo pipefail
source "$(dirname "$0")/env.sh"
RELEASE_BUILD=${RELEASE_BUILD:-$ROOT/build-release}
DIST=${DIST:-$ROOT/dist}
PROGRAMS=(OraclePlugin.dll pluginhost.exe)
# What a host's developer compiles against: each header from the repository's root, and where it
# goes in the archive (HostInterfaces.h includes "plugin/HostContract.h").
HEADERS=(host/HostInterfaces.h:HostInterfaces.h plugin/HostContract.h:plugin/HostContract.h)

"$ROOT/scripts/setup.sh"
version=$(sed -n 's/^project(OraclePlugin VERSION \([0-9.]*\) .*/\1/p' "$ROOT/CMakeLists.txt")
[ -n "$version" ] || { echo "package: no version in the top CMakeLists.txt"; exit 1; }

cmake -S "$ROOT" -B "$RELEASE_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null
cmake --build "$RELEASE_BUILD" -j2 --target OraclePlugin pluginhost

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
for program in "${PROGRAMS[@]}"; do
    x86_64-w64-mingw32-strip -o "$stage/$program" "$RELEASE_BUILD/bin/$program"
done
for header in "${HEADERS[@]}"; do
    mkdir -p "$(dirname "$stage/${header#*:}")"
    cp "$ROOT/${header%%:*}" "$stage/${header#*:}"
done
# Windows line ends, for Notepad.
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' "$ROOT/scripts/INSTALL.txt.in" >"$stage/INSTALL.txt"
# The manifest is opened while find runs: it must not list itself.
(cd "$stage" && find . -type f ! -name SHA256SUMS -printf '%P\n' | LC_ALL=C sort |
    xargs -d '\n' sha256sum -- >SHA256SUMS)

archive="$DIST/OraclePlugin-$version-win64.zip"
mkdir -p "$DIST"
rm -f "$archive"
python3 - "$archive" "$stage" <<'EOF'
import os, sys, zipfile
archive, folder = sys.argv[1:]
with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as zip:
    for root, folders, files in sorted(os.walk(folder)):
        for name in sorted(files):
            path = os.path.join(root, name)
            zip.write(path, os.path.relpath(path, folder))
EOF

echo "package: $archive"
for program in "${PROGRAMS[@]}"; do
    imports=$(x86_64-w64-mingw32-objdump -p "$stage/$program" | sed -n 's/^\s*DLL Name: //p')
    echo "  $program: $(stat -c %s "$stage/$program") bytes, imports" $imports
done
