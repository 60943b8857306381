#!/usr/bin/env bash
# Builds Qt (Core, Gui, Widgets, Sql with SQLite and ODBC, Test, Print Support; Windows and offscreen platforms), zlib and
# libxlsxwriter for Windows x64 from Debian's own source packages, into a cache folder kept outside the
# repository and keyed by the source versions. Prints the prefix they are installed in as its last line.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
cache="${KORVA_WINDOWS_CACHE:-/var/cache/korvaposto-windows}"
jobs="${KORVA_WINDOWS_JOBS:-$(nproc)}"
# Bumped whenever the way the pieces are built changes, so an old cache is not taken for a new one.
recipe=2

KORVA_LOG_TAG=windows
. "$here/../lib.sh"
# Runs a step with its output in a log file, and shows the end of that log when it fails.
step() {
  local name="$1"; shift
  if ! "$@" > "$work/$name.log" 2>&1; then
    log "$name failed; the end of $work/$name.log:"
    tail -n 40 "$work/$name.log" >&2
    exit 1
  fi
}

# apt-get source needs a deb-src entry for the archive the machine already uses. The security archive is
# left out: its newer sources are not always served beside its binaries (a 404), and the main archive's
# sources are what the cache is keyed by.
ensure_deb_src() {
  if apt-cache showsrc qt6-base 2>/dev/null | grep -q '^Version:'; then return; fi
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    local list=/etc/apt/sources.list.d/korvaposto-deb-src.sources
    log "adding deb-src entries for the configured Debian archive ($list)"
    awk -v RS= -v ORS='\n\n' '!/security/ { sub(/Types:[^\n]*/, "Types: deb-src"); print }' \
      /etc/apt/sources.list.d/debian.sources > "$list"
  else
    local list=/etc/apt/sources.list.d/korvaposto-deb-src.list
    log "adding deb-src entries for the configured Debian archive ($list)"
    grep -E '^deb ' /etc/apt/sources.list | grep -v security | sed -e 's/^deb /deb-src /' > "$list"
  fi
  apt-get update -qq
}

source_version() { apt-cache showsrc "$1" | awk '/^Version:/ {print $2; exit}'; }

ensure_deb_src
qt_v=$(source_version qt6-base)
sqlite_v=$(source_version sqlite3)
zlib_v=$(source_version zlib)
xlsx_v=$(source_version libxlsxwriter)
key="r${recipe}-qt${qt_v}-sqlite${sqlite_v}-zlib${zlib_v}-xlsx${xlsx_v}"
key="${key//[^A-Za-z0-9.+-]/_}"
prefix="$cache/prefix-$key"
if [ -f "$prefix/.complete" ]; then
  log "using the cached Qt, zlib and libxlsxwriter for Windows: $prefix"
  echo "$prefix"
  exit 0
fi

src="$cache/src-$key"
work="$cache/build-$key"
mkdir -p "$src" "$work" "$prefix"
start=$(date +%s)

# Sources, each once.
(
  cd "$src"
  for p in qt6-base sqlite3 zlib libxlsxwriter; do
    if ! ls -d "$src/$p"-[0-9]*/ >/dev/null 2>&1 && ! ls -d "$src/${p%%[0-9]*}"*-[0-9]*/ >/dev/null 2>&1; then
      # The version the cache key names: a newer one listed by another suite may not be fetchable.
      v=$(source_version "$p")
      log "apt-get source $p=$v"
      apt-get source -qq "$p=$v" >/dev/null 2>&1 || apt-get source "$p=$v"
    fi
  done
)
qt_src=$(ls -d "$src"/qt6-base-*/ | head -n 1)
sqlite_src=$(ls -d "$src"/sqlite3-*/ | head -n 1)
zlib_src=$(ls -d "$src"/zlib-*/ | head -n 1)
xlsx_src=$(ls -d "$src"/libxlsxwriter-*/ | head -n 1)
log "sources ready in $(elapsed "$start")"

toolchain=(-DCMAKE_TOOLCHAIN_FILE="$here/toolchain.cmake" -DKORVA_WINDOWS_PREFIX="$prefix")

# zlib, static, for libxlsxwriter (Debian's tarball has no Windows resource file, so only the static
# library is built).
if [ ! -f "$work/zlib.done" ]; then
  t=$(date +%s)
  step zlib-configure cmake -G Ninja -S "$zlib_src" -B "$work/zlib" "${toolchain[@]}" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix"
  step zlib-build cmake --build "$work/zlib" --target zlibstatic --parallel "$jobs"
  mkdir -p "$prefix/lib" "$prefix/include"
  cp "$work/zlib/libzlibstatic.a" "$prefix/lib/libz.a"
  cp "$zlib_src/zlib.h" "$work/zlib/zconf.h" "$prefix/include/"
  touch "$work/zlib.done"
  log "zlib built in $(elapsed "$t")"
fi

# libxlsxwriter, static, with its own minizip.
if [ ! -f "$work/xlsx.done" ]; then
  t=$(date +%s)
  step xlsx-configure cmake -G Ninja -S "$xlsx_src" -B "$work/xlsx" "${toolchain[@]}" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
    -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include"
  step xlsx-build cmake --build "$work/xlsx" --parallel "$jobs"
  step xlsx-install cmake --install "$work/xlsx"
  touch "$work/xlsx.done"
  log "libxlsxwriter built in $(elapsed "$t")"
fi

# Qt's tarball has no SQLite amalgamation: make it from Debian's sqlite3 source. The tests and the benchmark
# also use SQLite's C interface, so the same amalgamation is built into a static library for them.
if [ ! -f "$work/sqlite.done" ]; then
  t=$(date +%s)
  rm -rf "$work/sqlite"
  mkdir -p "$work/sqlite" "$qt_src/src/3rdparty/sqlite" "$prefix/lib/pkgconfig" "$prefix/include"
  (cd "$work/sqlite" && step sqlite-configure "$sqlite_src/configure" && step sqlite-amalgamation make sqlite3.c)
  cp "$work/sqlite/sqlite3.c" "$work/sqlite/sqlite3.h" "$qt_src/src/3rdparty/sqlite/"
  cp "$work/sqlite/sqlite3.h" "$prefix/include/"
  step sqlite-compile x86_64-w64-mingw32-gcc-posix -O2 -DSQLITE_THREADSAFE=1 -c "$work/sqlite/sqlite3.c" \
    -o "$work/sqlite/sqlite3.o"
  step sqlite-archive x86_64-w64-mingw32-ar rcs "$prefix/lib/libsqlite3.a" "$work/sqlite/sqlite3.o"
  printf 'prefix=%s\nName: sqlite3\nDescription: SQLite\nVersion: %s\nLibs: -L${prefix}/lib -lsqlite3\nCflags: -I${prefix}/include\n' \
    "$prefix" "${sqlite_v%%-*}" > "$prefix/lib/pkgconfig/sqlite3.pc"
  touch "$work/sqlite.done"
  log "SQLite amalgamation and library made in $(elapsed "$t")"
fi

# Without OpenGL the Windows platform plugin of 6.4 still names the dynamic GL context in one place.
win_cpp="$qt_src/src/plugins/platforms/windows/qwindowswindow.cpp"
if ! grep -q 'QT_CONFIG(dynamicgl) && QT_CONFIG(opengl)' "$win_cpp"; then
  sed -i '/^static inline bool isSoftwareGl()/,/^}/ s/^#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(dynamicgl) \&\& QT_CONFIG(opengl)/' "$win_cpp"
fi
# Without Direct2D, QtGui leaves out the DirectWrite font database that the plugin still names; it then uses
# the GDI font database, as Qt 6.4 does by default.
integration_cpp="$qt_src/src/plugins/platforms/windows/qwindowsintegration.cpp"
if ! grep -q 'QT_CONFIG(directwrite3) && QT_CONFIG(direct2d)' "$integration_cpp"; then
  sed -i 's/^#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' "$integration_cpp"
fi
# The Windows print engine names the same DirectWrite font engine.
print_cpp="$qt_src/src/printsupport/platform/windows/qprintengine_win.cpp"
if ! grep -q 'QT_CONFIG(directwrite) && QT_CONFIG(direct2d)' "$print_cpp"; then
  sed -i 's/^#if QT_CONFIG(directwrite)$/#if QT_CONFIG(directwrite) \&\& QT_CONFIG(direct2d)/' "$print_cpp"
fi

if [ ! -f "$work/qt.done" ]; then
  t=$(date +%s)
  log "configuring Qt $qt_v for Windows"
  step qt-configure cmake -G Ninja -S "$qt_src" -B "$work/qt" "${toolchain[@]}" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON \
    -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF -DQT_BUILD_TOOLS_WHEN_CROSSCOMPILING=OFF \
    -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_dynamicgl=OFF -DFEATURE_vulkan=OFF \
    -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_xml=OFF -DFEATURE_concurrent=ON \
    -DFEATURE_printsupport=ON -DFEATURE_testlib=ON -DFEATURE_sql=ON -DFEATURE_sql_sqlite=ON \
    -DFEATURE_sql_odbc=ON -DFEATURE_sql_psql=OFF -DFEATURE_sql_mysql=OFF -DFEATURE_sql_ibase=OFF \
    -DFEATURE_sql_oci=OFF -DFEATURE_sql_db2=OFF -DFEATURE_system_sqlite=OFF -DFEATURE_system_zlib=OFF \
    -DFEATURE_zstd=OFF -DFEATURE_tabletevent=OFF -DFEATURE_openssl=OFF -DFEATURE_icu=OFF \
    -DFEATURE_direct2d=OFF -DFEATURE_sql_model=ON
  log "building Qt (about 1,100 steps)"
  step qt-build cmake --build "$work/qt" --parallel "$jobs"
  step qt-install cmake --install "$work/qt"
  touch "$work/qt.done"
  log "Qt built in $(elapsed "$t")"
fi

touch "$prefix/.complete"
log "Qt, zlib and libxlsxwriter for Windows ready in $(elapsed "$start"): $prefix"
echo "$prefix"
