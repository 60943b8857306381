#!/usr/bin/env bash
# Starts a Windows program under Wine with the project's private prefix, the Qt and MinGW DLLs on its path.
# CTest uses it as the emulator of the cross-built tests. Needs WINEPREFIX, KORVA_WINDOWS_PREFIX and DISPLAY.
set -euo pipefail
runtime="$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")"
winpthread="$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libwinpthread-1.dll)")"
export WINEPATH="Z:${KORVA_WINDOWS_PREFIX//\//\\}\\bin;Z:${runtime//\//\\};Z:${winpthread//\//\\}"
export WINEDEBUG="${WINEDEBUG:--all}"
exec wine "$@"
