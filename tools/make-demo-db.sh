#!/usr/bin/env bash
# Builds the embedded demo database: the schema plus the demo rows. Usage: make-demo-db.sh <file>
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
target="$1"
rm -f "$target"
# The file holds the station's password and the drivers' PINs: owner-only, as the saved login is.
umask 077
cat "$root/src/db/schema/sqlite.sql" "$root/tools/demo-data.sql" | sqlite3 "$target"
