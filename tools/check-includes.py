#!/usr/bin/env python3
"""Checks that every #include under src/ runs the allowed way between rooms.

format and db are at the bottom (db may use format), common above them, fueling and report above common and
never each other, app at the top. A header of src/db that says "Private to src/db" in its first lines
may be included only from src/db. Usage: check-includes.py <src folder>. Prints each forbidden include as
file:line and exits 1 when there is any.
"""
import pathlib
import re
import sys

ALLOWED = {
    "format": {"format"},
    "db": {"db", "format"},
    "common": {"common", "db", "format"},
    "fueling": {"fueling", "common", "db", "format"},
    "report": {"report", "common", "db", "format"},
    "app": {"app", "fueling", "report", "common", "db", "format"},
}
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
PRIVATE = re.compile(r"^//\s*Private to src/db\b")


def room_of(path, src):
    parts = path.relative_to(src).parts
    return parts[0] if len(parts) > 1 else None


def main():
    src = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "src").resolve()
    files = sorted(p for p in src.rglob("*") if p.suffix in {".h", ".cpp"} and p.is_file())
    private = {p for p in files if p.suffix == ".h" and room_of(p, src) == "db"
               and any(PRIVATE.match(line) for line in p.read_text(encoding="utf-8").splitlines()[:5])}
    faults = []
    for path in files:
        room = room_of(path, src)
        if room not in ALLOWED:
            faults.append(f"{path.relative_to(src)}: not in a known room ({', '.join(ALLOWED)})")
            continue
        for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            name = match.group(1)
            # Generated at build time: the build's settings from the db room's template, a form's class from
            # the .ui beside the including file.
            target = None
            if name == "BuildConfig.h":
                target = src / "db" / "BuildConfig.h.in"
            elif name.startswith("ui_") and name.endswith(".h"):
                target = path.parent / (name[3:-2] + ".ui")
            if target is None:
                target = (path.parent / name) if (path.parent / name).exists() else src / name
            if not target.exists():
                faults.append(f"{path.relative_to(src)}:{number}: #include \"{name}\" names no file under src/")
                continue
            target_room = room_of(target.resolve(), src)
            if target_room not in ALLOWED[room]:
                faults.append(f"{path.relative_to(src)}:{number}: #include \"{name}\": {room} may not include "
                              f"{target_room}")
            elif target.resolve() in private and room != "db":
                faults.append(f"{path.relative_to(src)}:{number}: #include \"{name}\" is private to src/db")
    for fault in faults:
        print(fault)
    print(f"{len(files)} files checked, {len(faults)} forbidden includes")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
