#!/usr/bin/env bash
# The Windows x64 package, cross-built here with MinGW-w64 against Qt, zlib and libxlsxwriter built from
# Debian's own source packages (cached outside the repository), then proven under Wine on a virtual X server:
# the whole test suite cross-built for Windows runs through CTest, and the package's program starts.
#   tools/windows.sh                 build the zip and run the tests under Wine
#   tools/windows.sh --screenshots   also start the unzipped program, log in on the demo database, open both
#                                    windows and save docs/windows-*.png
# KORVA_WINDOWS_CACHE (default /var/cache/korvaposto-windows) holds what was built from source.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$root/build-windows"
build="$out/build"
stage="$out/KORVAPosto"
zipfile="$out/KORVAPosto-windows-x64.zip"
shots=0
[ "${1:-}" = "--screenshots" ] && shots=1

KORVA_LOG_TAG=windows
. "$root/tools/lib.sh"
begin=$(date +%s)

KORVA_WINDOWS=1 "$root/tools/install-deps.sh"

t=$(date +%s)
prefix="$("$root/tools/windows/build-deps.sh" | tail -n 1)"
log "Qt, zlib and libxlsxwriter for Windows: $(elapsed "$t")"
export KORVA_WINDOWS_PREFIX="$prefix"
# Qt's Portuguese texts ("Sim", "Não") come from the host's translations, which are not built from source.
mkdir -p "$prefix/translations"
cp -u /usr/share/qt6/translations/qtbase_pt_BR.qm "$prefix/translations/"

# The program and the tests, for Windows.
t=$(date +%s)
mkdir -p "$out"
PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" cmake -G Ninja -S "$root" -B "$build" \
  -DCMAKE_TOOLCHAIN_FILE="$root/tools/windows/toolchain.cmake" -DKORVA_WINDOWS_PREFIX="$prefix" \
  -DCMAKE_PREFIX_PATH="$prefix" -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_BUILD_TYPE=Release -DKORVA_BENCH=OFF -DKORVA_WERROR=ON \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$root/tools/windows/wine-run.sh" >/dev/null
cmake --build "$build" --parallel "$(nproc)"
log "KORVAPosto and its tests cross-built in $(elapsed "$t")"

# The package.
t=$(date +%s)
rm -rf "$stage" "$zipfile"
mkdir -p "$stage/platforms" "$stage/styles" "$stage/sqldrivers" "$stage/translations"
cp "$build/src/KORVAPosto.exe" "$stage/"
for dll in Qt6Core Qt6Gui Qt6Widgets Qt6Sql; do cp "$prefix/bin/$dll.dll" "$stage/"; done
cp "$prefix/plugins/platforms/qwindows.dll" "$stage/platforms/"
cp "$prefix/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
cp "$prefix/plugins/sqldrivers/qsqlite.dll" "$prefix/plugins/sqldrivers/qsqlodbc.dll" "$stage/sqldrivers/"
cp /usr/share/qt6/translations/qtbase_pt_BR.qm "$stage/translations/"
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
  cp "$(x86_64-w64-mingw32-g++-posix -print-file-name="$dll")" "$stage/"
done
cp "$root/tools/windows/qt.conf" "$stage/"
# The text files a Windows user opens in Notepad: CR LF lines.
sed 's/$/\r/' "$root/tools/windows/Conexao.ini" | iconv -f UTF-8 -t WINDOWS-1252 > "$stage/Conexao.ini"
sed 's/$/\r/' "$root/tools/windows/LEIA-ME.txt" | iconv -f UTF-8 -t WINDOWS-1252 > "$stage/LEIA-ME.txt"
"$root/tools/make-demo-db.sh" "$stage/Dravix.db"
(cd "$out" && zip -q -r -X "$zipfile" "$(basename "$stage")")
log "package written in $(elapsed "$t"): $zipfile ($(du -h "$zipfile" | cut -f1))"

# Wine on a virtual X server, with a prefix of its own.
export WINEPREFIX="$out/wine-prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
start_xvfb 200
on_exit "wineserver -k >/dev/null 2>&1"
t=$(date +%s)
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot --init >/dev/null 2>&1
fi
wineserver -p 2>/dev/null || true # persistent; already running after wineboot
# Wine keeps the host's QT_ variables (CTest's QT_QPA_PLATFORM among them) from Windows programs, so the
# prefix's own environment says them: the tests run offscreen, and Qt Test writes to its output, not to the
# debugger, although the program has no console window.
wine reg add 'HKCU\Environment' /v QT_QPA_PLATFORM /d offscreen /f >/dev/null 2>&1
wine reg add 'HKCU\Environment' /v QT_FORCE_STDERR_LOGGING /d 1 /f >/dev/null 2>&1
log "Wine $(wine --version) ready in $(elapsed "$t") (prefix $WINEPREFIX)"

t=$(date +%s)
set +e
(cd "$build" && ctest --output-on-failure --timeout 600 --parallel "$(nproc)") | tee "$out/ctest-wine.log"
status=${PIPESTATUS[0]}
set -e
log "tests under Wine: $(elapsed "$t")"

if [ "$shots" = 1 ]; then
  "$root/tools/windows/screenshots.sh" "$zipfile" "$root/docs"
fi
log "whole run: $(elapsed "$begin")"
exit "$status"
