#!/usr/bin/python3
"""Load and save of a workbook with a full store (65000 draws): the kelvora
tool against openpyxl on the same file, side by side, then Main end to end.

Usage: bench/xlsx_load_save.py [KELVORA] [--draws N] [--runs N]
(KELVORA defaults to build/release/kelvora.)
"""
import argparse
import os
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

import openpyxl


def cpu_now():
    """CPU seconds of this process and of its waited-for children."""
    me = resource.getrusage(resource.RUSAGE_SELF)
    kids = resource.getrusage(resource.RUSAGE_CHILDREN)
    return me.ru_utime + me.ru_stime + kids.ru_utime + kids.ru_stime


def timed(fn, runs):
    """Median wall seconds and median CPU seconds of `runs` calls. On a busy
    machine the CPU time is the steadier figure."""
    walls, cpus = [], []
    for _ in range(runs):
        c = cpu_now()
        t = time.perf_counter()
        fn()
        walls.append(time.perf_counter() - t)
        cpus.append(cpu_now() - c)
    return statistics.median(walls), statistics.median(cpus)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("kelvora", nargs="?", default="build/release/kelvora")
    ap.add_argument("--draws", type=int, default=65000)
    ap.add_argument("--runs", type=int, default=5)
    args = ap.parse_args()
    kelvora = os.path.abspath(args.kelvora)
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    work = tempfile.mkdtemp(prefix="kelvora-bench-")
    try:
        big = os.path.join(work, "big.xlsx")

        def tool(*a, check=True):
            p = subprocess.run([kelvora, "-w", big, *a], env=env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.PIPE)
            if check and p.returncode not in (0, 3):
                sys.exit("kelvora %s failed: %s" % (" ".join(a), p.stderr.decode()))
            return p.returncode

        subprocess.run([kelvora, "init", big], env=env, check=True, stderr=subprocess.DEVNULL)
        wb = openpyxl.load_workbook(big)
        ws = wb.worksheets[0]
        newest = 100000
        for i in range(args.draws):
            ws.cell(17 + i, 1, newest - i)
            ws.cell(17 + i, 2, "%05d" % ((i * 7919 + 4242) % 100000))
        ws["B15"] = args.draws
        wb.save(big)
        tool("Main")
        size = os.path.getsize(big)
        print("workbook: %d draws, %.1f MB; median wall / CPU seconds of %d runs" %
              (args.draws, size / 1e6, args.runs))

        flip = [40]

        def tool_save():
            flip[0] = 81 - flip[0]  # 40, 41, 40, ...: every run changes a cell
            tool("set", "B2=%d" % flip[0])

        rows = [
            ("load (kelvora show / openpyxl load_workbook)",
             timed(lambda: tool("show"), args.runs),
             timed(lambda: openpyxl.load_workbook(big), args.runs)),
            ("load + change a cell + save",
             timed(tool_save, args.runs),
             timed(lambda: (lambda w: (w.worksheets[0].__setitem__("B2", 40), w.save(big)))(
                 openpyxl.load_workbook(big)), args.runs)),
        ]
        print("%-46s %15s %15s %13s" % ("", "kelvora", "openpyxl", "ratio"))
        for name, (k_wall, k_cpu), (o_wall, o_cpu) in rows:
            print("%-46s %6.3f / %6.3f %6.3f / %6.3f %5.1fx / %4.1fx" %
                  (name, k_wall, k_cpu, o_wall, o_cpu, o_wall / k_wall, o_cpu / k_cpu))

        tool("set", "B2=40", "B4=200")
        med, best = timed(lambda: tool("Main"), args.runs)
        print("%-46s %6.3f / %6.3f" % ("kelvora Main end to end, window 200", med, best))
        tool("set", "B4=%d" % args.draws)
        med, best = timed(lambda: tool("Main"), max(1, args.runs // 2))
        print("%-46s %6.3f / %6.3f" % ("kelvora Main end to end, window %d" % args.draws, med, best))
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
