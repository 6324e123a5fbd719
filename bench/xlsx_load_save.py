#!/usr/bin/python3
"""The full-scale run through the workbook file, side by side with its floor
and with openpyxl as the peer, in one run:

- the floor: the digest compressions of Main at one-stream SHA-NI speed over
  the run's threads, and Main in-process (analysis_bench's BM_Main);
- `kelvora -w BOOK Main` end to end on a workbook with 65000 stored draws
  (stage 1 kind row 5, stage 2 kind row 3, sets of 520, window 65000 in
  both): the first time, and again on the analysed workbook (the everyday
  case);
- loading and saving that analysed workbook alone: `kelvora show` and
  `kelvora set`, beside openpyxl's load_workbook and save;
- the peak memory (max RSS) and the minor page faults of each of those
  processes; faults are counted with transparent huge pages off where this
  user may turn them off, so that they compare from one machine to the next;
- the work of each kelvora run, which is the same on every machine: the
  bytes it inflated and deflated and the digest compressions it counted
  (KELVORA_COUNTERS).

Wall and CPU seconds are medians of --runs runs, made in turn (each row
once, BM_Main included, then again), so that a spell of load on a shared
machine falls on every row alike; CPU time is the steadier figure. Ratios
are to the floor. --json PATH writes the table to PATH as well.

Usage: bench/xlsx_load_save.py [KELVORA] [--analysis-bench PATH] [--runs N]
                               [--json PATH]
(KELVORA defaults to build/release/kelvora, the analysis benchmark to
build/release/bench/analysis_bench.)
"""
import argparse
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

import openpyxl

from process_figures import huge_pages_off, measured, medians

DRAWS = 65000
# The template's bet kinds of rows 5 and 3.
KIND_ROW5 = "Ba càng đuôi"
KIND_ROW3 = "Ba càng đầu"


def floor_and_main(analysis_bench):
    """BM_Main on 2 threads with the back end picked for this processor."""
    out = subprocess.run(
        [analysis_bench, "--benchmark_filter=^BM_Main/2/-1/", "--benchmark_format=json"],
        check=True, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
    b = json.loads(out)["benchmarks"][0]
    return b["floor_s"], b["real_time"] / 1e3, b["cpu_s"], b.get("label", "")


def make_workbook(kelvora, path, env):
    subprocess.run([kelvora, "init", path], env=env, check=True, stderr=subprocess.DEVNULL)
    wb = openpyxl.load_workbook(path)
    ws = wb.worksheets[0]
    x = 2024
    for i in range(DRAWS):
        x = (x * 1664525 + 1013904223) & 0xFFFFFFFF
        ws.cell(17 + i, 1, 100000 - i)
        ws.cell(17 + i, 2, "%05d" % ((x >> 7) % 100000))
    ws["B15"] = DRAWS
    wb.save(path)
    subprocess.run([kelvora, "-w", path, "set", "B1=" + KIND_ROW5, "B2=520", "B4=%d" % DRAWS,
                    "B6=ON", "B7=" + KIND_ROW3, "B8=520", "B10=%d" % DRAWS],
                   env=env, check=True, stdout=subprocess.DEVNULL)


OPENPYXL_LOAD = "import openpyxl, sys; openpyxl.load_workbook(sys.argv[1])"
OPENPYXL_SAVE = ("import openpyxl, sys; w = openpyxl.load_workbook(sys.argv[1]); "
                 "w.worksheets[0]['B2'] = 40; w.save(sys.argv[1])")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("kelvora", nargs="?", default="build/release/kelvora")
    ap.add_argument("--analysis-bench", default="build/release/bench/analysis_bench")
    ap.add_argument("--runs", type=int, default=5)
    ap.add_argument("--json", help="also write the table to this file as JSON")
    args = ap.parse_args()
    kelvora = os.path.abspath(args.kelvora)
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    work = tempfile.mkdtemp(prefix="kelvora-bench-")
    try:
        fresh = os.path.join(work, "fresh.xlsx")
        analysed = os.path.join(work, "analysed.xlsx")
        book = os.path.join(work, "book.xlsx")
        counted = os.path.join(work, "counters.json")
        counters = {}
        make_workbook(kelvora, fresh, env)
        shutil.copyfile(fresh, analysed)
        measured([kelvora, "-w", analysed, "Main"], env)

        # A row of kelvora runs named `key` keeps their counters under it.
        def on_copy(source, argv, key=None):
            run_env = dict(env, KELVORA_COUNTERS=counted) if key else env

            def run_once():
                shutil.copyfile(source, book)
                if os.path.exists(counted):
                    os.remove(counted)
                run = measured(argv, run_env)
                if key and os.path.exists(counted):  # an older kelvora writes none
                    with open(counted) as f:
                        counters[key] = json.load(f)
                return run
            return run_once

        main_cmd = [kelvora, "-w", book, "Main"]
        rows = [
            ("Main end to end, first run", "main_first", fresh, main_cmd),
            ("Main end to end, again on the analysed book", "main_again", analysed, main_cmd),
            ("kelvora load (show)", "show", analysed, [kelvora, "-w", book, "show"]),
            ("kelvora load + change B2 + save (set)", "set", analysed,
             [kelvora, "-w", book, "set", "B2=40"]),
            ("openpyxl load_workbook", None, analysed,
             [sys.executable, "-c", OPENPYXL_LOAD, book]),
            ("openpyxl load + change B2 + save", None, analysed,
             [sys.executable, "-c", OPENPYXL_SAVE, book]),
        ]
        # Run in turn, so that a change in the machine's load falls on all alike.
        in_process_runs = []
        samples = {name: [] for name, _, _, _ in rows}
        for _ in range(args.runs):
            in_process_runs.append(floor_and_main(args.analysis_bench))
            with huge_pages_off() as thp:
                for name, key, source, argv in rows:
                    samples[name].append(on_copy(source, argv, key)())
        floor, in_process, in_process_cpu = (
            statistics.median(r[i] for r in in_process_runs) for i in range(3))
        label = "/".join(sorted({r[3] for r in in_process_runs}))
        table = {
            "workbook": {"draws": DRAWS, "fresh_bytes": os.path.getsize(fresh),
                         "analysed_bytes": os.path.getsize(analysed)},
            "runs": args.runs,
            "floor_s": floor,
            "main_in_process": {"back_end": label, "wall_s": in_process,
                                "cpu_s": in_process_cpu, "per_floor": in_process / floor},
            "rows": [],
        }
        print("workbook: %d draws, %.1f MB before Main, %.1f MB analysed; medians of %d runs" %
              (DRAWS, os.path.getsize(fresh) / 1e6, os.path.getsize(analysed) / 1e6, args.runs))
        head = "%-46s %8s %8s %9s %9s %8s %9s %9s %12s"
        print(head % ("", "wall s", "CPU s", "max RSS", "faults", "/ floor", "inflated",
                      "deflated", "compressions"))
        print("%-46s %8.3f" % ("floor (one-stream SHA-NI, 2 threads)", floor) + " " * 29 +
              "%8.2f" % 1.0)
        print("%-46s %8.3f %8.3f" % ("Main in-process (%s)" % label, in_process, in_process_cpu) +
              " " * 20 + "%8.2f" % (in_process / floor))
        walls = {}
        for name, key, _, _ in rows:
            wall, cpu, rss, faults = medians(samples[name])
            walls[name] = wall
            work_done = counters.get(key, {})
            row = {"name": name, "key": key, "wall_s": wall, "cpu_s": cpu, "max_rss_mb": rss,
                   "minor_faults": faults, "per_floor": wall / floor}
            row.update(work_done)
            table["rows"].append(row)
            mb = lambda key: ("%6.1f MB" % (work_done[key] / 1e6)) if key in work_done else ""
            print("%-46s %8.3f %8.3f %6.0f MB %9.0f %8.2f %9s %9s %12s" % (
                name, wall, cpu, rss, faults, wall / floor, mb("inflated_bytes"),
                mb("deflated_bytes"), work_done.get("digest_compressions", "")))
        print(thp)
        speedup = walls["openpyxl load_workbook"] / walls["kelvora load (show)"]
        print("load alone: kelvora %.1fx faster than openpyxl" % speedup)
        load = os.getloadavg()[0]
        print("load average over the last minute: %.2f" % load)
        table.update(faults_counted=thp, show_vs_openpyxl=speedup, load_average=load)
        if args.json:
            with open(args.json, "w") as f:
                json.dump(table, f, indent=1)
                f.write("\n")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
