#!/usr/bin/python3
"""The intake of a large by-date page end to end, side by side with its floor,
in one run:

- the page: a by-date table of 65000 draws from tests/data/make_samples.py,
  made at bench time into the build folder (it is never kept in the tree);
- the floor: Gumbo alone parsing that page and freeing its tree
  (bench/gumbo_parse.cc);
- `kelvora -w BOOK DanKQXSNgay --clipboard PAGE` on a fresh workbook made
  from the built-in template, each run on its own copy;
- wall and CPU seconds, peak memory (max RSS) and minor page faults of each
  process, and each wall time as a ratio to the floor's, beside the targets
  (2 s, 200 MB).

Wall and CPU seconds and max RSS are medians of --runs runs; the machine may be
shared, so CPU time is the steadier figure.

Usage: bench/large_intake.py [KELVORA] [--gumbo PATH] [--runs N] [--other KELVORA2]
(KELVORA defaults to build/release/kelvora, the floor program to
build/release/bench/gumbo_parse; --other adds a row for another build of the
tool, such as one from before a change, run in turn with the others.)
"""
import argparse
import os
import shutil
import subprocess
import sys

from process_figures import huge_pages_off, measured, medians

DRAWS = 65000
TARGET_S = 2.0
TARGET_MB = 200.0
SAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "data",
                       "make_samples.py")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("kelvora", nargs="?", default="build/release/kelvora")
    ap.add_argument("--gumbo", default="build/release/bench/gumbo_parse")
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--other")
    args = ap.parse_args()
    kelvora = os.path.abspath(args.kelvora)
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    work = os.path.join(os.path.dirname(os.path.abspath(args.gumbo)), "large-intake")
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    try:
        page = os.path.join(work, "by_date_%d.html" % DRAWS)
        fresh = os.path.join(work, "fresh.xlsx")
        book = os.path.join(work, "book.xlsx")
        subprocess.run([sys.executable, SAMPLES, "--by-date", str(DRAWS), page], check=True)
        subprocess.run([kelvora, "init", fresh], env=env, check=True, stderr=subprocess.DEVNULL)

        def intake_once(tool):
            shutil.copyfile(fresh, book)
            row = measured([tool, "-w", book, "DanKQXSNgay", "--clipboard", page], env)
            if row.status != 0:
                sys.exit("the intake of %s was refused" % page)
            return row

        rows = [("floor: Gumbo alone parses and frees the page",
                 lambda: measured([args.gumbo, page], env)),
                ("kelvora DanKQXSNgay end to end, fresh book", lambda: intake_once(kelvora))]
        if args.other:
            other = os.path.abspath(args.other)
            rows.append(("the same, other build", lambda: intake_once(other)))
        # Run in turn, so that a change in the machine's load falls on all alike.
        samples = [[] for _ in rows]
        with huge_pages_off() as thp:
            for _ in range(args.runs):
                for i, (_, run_once) in enumerate(rows):
                    samples[i].append(run_once())
        figures = [medians(s) for s in samples]
        floor, intake = figures[0], figures[1]
        print("page: %d draws, %.1f MB; medians of %d runs" %
              (DRAWS, os.path.getsize(page) / 1e6, args.runs))
        print("%-46s %8s %8s %9s %9s %8s" % ("", "wall s", "CPU s", "max RSS", "faults",
                                             "/ floor"))
        for (name, _), (wall, cpu, rss, faults) in zip(rows, figures):
            print("%-46s %8.3f %8.3f %6.0f MB %9.0f %8.2f" % (name, wall, cpu, rss, faults,
                                                            wall / floor[0]))
        print(thp)
        print("target for the intake: <= %.0f s, <= %.0f MB: %s" %
              (TARGET_S, TARGET_MB, "met" if intake[0] <= TARGET_S and intake[2] <= TARGET_MB
               else "not met"))
        print("load average over the last minute: %.2f" % os.getloadavg()[0])
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
