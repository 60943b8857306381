#!/usr/bin/env bash
# Fails, naming each file, when clang-format (Debian's, with the root's .clang-format) would change any C++
# file of the project. Run it with --fix to format them in place.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/tools/lib.sh"
KORVA_LOG_TAG=format
"$root/tools/install-deps.sh"
cd "$root"
mapfile -t files < <(git ls-files -- 'src/*.h' 'src/*.cpp' 'tests/*.h' 'tests/*.cpp' 'bench/*.cpp' 'bench/*.h' \
  'fuzz/*.cpp' 'fuzz/*.h')
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
changed=()
for f in "${files[@]}"; do
  clang-format --dry-run -Werror "$f" >/dev/null 2>&1 || changed+=("$f")
done
if [ "${#changed[@]}" -gt 0 ]; then
  log "clang-format would change ${#changed[@]} of ${#files[@]} files (tools/check-format.sh --fix formats them):"
  printf '  %s\n' "${changed[@]}" >&2
  exit 1
fi
log "${#files[@]} files formatted as .clang-format says"
