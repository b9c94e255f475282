# Sourced by the scripts: where things are built and how Wine runs them.
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
NATIVE_BUILD=${NATIVE_BUILD:-$ROOT/build-native}
export WINEPREFIX=${WINEPREFIX:-$BUILD/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# Chooses the Wine binaries. Called again once the set-up step may have installed Wine, since
# on a fresh machine there is none yet when this file is sourced.
find_wine() {
    WINE=${WINE_REQUESTED:-/usr/lib/wine/wine64}
    [ -x "$WINE" ] || WINE=wine
    WINESERVER=/usr/lib/wine/wineserver
    [ -x "$WINESERVER" ] || WINESERVER=wineserver
}
WINE_REQUESTED=${WINE:-}
find_wine

# Builds the Windows binaries into $BUILD/bin and prepares the private Wine prefix.
build_windows() {
    find_wine
    cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null || return 1
    cmake --build "$BUILD" -j2 || return 1
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "setup: preparing the Wine prefix $WINEPREFIX"
        "$WINE" wineboot -i >/dev/null 2>&1 </dev/null || true
        "$WINESERVER" -w 2>/dev/null || true
    fi
}

# Builds the portable code natively, with the sanitizers and (with clang) the fuzz targets.
build_native() {
    CC=clang CXX=clang++ cmake -S "$ROOT" -B "$NATIVE_BUILD" -G Ninja -DSANITIZE=ON -DFUZZ=ON >/dev/null || return 1
    cmake --build "$NATIVE_BUILD" -j2
}

# Runs a Windows program of the build under Wine.
run_wine() {
    "$WINE" "$@"
}
