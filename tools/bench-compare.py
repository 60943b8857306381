#!/usr/bin/env python3
"""One table from korva_bench outputs of two builds: each figure, the median over the runs of each build
(with the lowest and highest run), and the change from the first build to the second, in the figure's own
unit and in percent.

  bench-compare.py NAME_A NAME_B A_OUTPUT... -- B_OUTPUT...

Each output is what korva_bench printed, after a first line "uptime: ..." that tools/bench.sh writes. The
section on slow answers, where an output of the second build has it, is printed after the table as it is.
"""

import re
import statistics
import sys

STRETCH = re.compile(r"longest stretch without an event-loop turn ([\d.]+) ms")
PEAK = re.compile(r"process peak (\d+) MB")


def figures(path):
    """Figure name -> value, in the order korva_bench printed them; the load line; the slow answers."""
    found, load, slow, in_slow = {}, "", [], False
    with open(path, encoding="utf-8") as f:
        for line in f:
            if line.startswith("uptime:"):
                load = line.split("load average:")[-1].strip()
            elif line.startswith("Slow answers"):
                in_slow = True
            if in_slow:
                slow.append(line.rstrip("\n"))
                continue
            cells = [c.strip() for c in line.strip().strip("|").split("|")]
            if len(cells) != 5 or not re.fullmatch(r"[\d.]+", cells[1]):
                continue
            operation, ours, floor, ratio, note = cells
            found[operation + ": KORVAPosto (ms)"] = float(ours)
            if floor != "-":
                found[operation + ": floor (ms)"] = float(floor)
                found[operation + ": ratio"] = float(ratio)
            stretch = STRETCH.search(note)
            if stretch:
                found[operation + ": longest stretch without a turn (ms)"] = float(stretch.group(1))
            peak = PEAK.search(note)
            if peak:
                found[operation + ": process peak (MB)"] = float(peak.group(1))
    return found, load, slow


def summary(values):
    if not values:
        return "-"
    text = "%.3f" % statistics.median(values)
    return text if len(values) == 1 else "%s (%.3f–%.3f)" % (text, min(values), max(values))


def main():
    args = sys.argv[1:]
    if len(args) < 4 or "--" not in args:
        sys.exit(__doc__)
    name_a, name_b = args[0], args[1]
    split = args.index("--")
    runs_a = [figures(p) for p in args[2:split]]
    runs_b = [figures(p) for p in args[split + 1:]]
    names = list(dict.fromkeys(n for run in runs_a + runs_b for n in run[0]))
    print("\n%d run(s) of %s, %d of %s, alternately; load averages (1, 5, 15 min) before each: %s"
          % (len(runs_a), name_a, len(runs_b), name_b, "; ".join(r[1] for r in runs_a + runs_b if r[1])))
    print("\n| figure | %s: median (lowest–highest) | %s: median (lowest–highest) | difference | change |"
          % (name_a, name_b))
    print("|---|---:|---:|---:|---:|")
    for name in names:
        a = [run[0][name] for run in runs_a if name in run[0]]
        b = [run[0][name] for run in runs_b if name in run[0]]
        difference, change = "-", "-"
        if a and b:
            difference = "%+.3f" % (statistics.median(b) - statistics.median(a))
            if statistics.median(a):
                change = "%+.1f %%" % (100 * (statistics.median(b) / statistics.median(a) - 1))
        print("| %s | %s | %s | %s | %s |" % (name, summary(a), summary(b), difference, change))
    for run in runs_b:
        if len(run[2]) > 1:
            print("\n" + "\n".join(run[2]))
            break


if __name__ == "__main__":
    main()
