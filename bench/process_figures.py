"""Wall and CPU time and peak memory of a program's runs, for the benchmark
scripts beside it."""
import os
import statistics
import subprocess
import sys
import time


def measured(argv, env):
    """Runs `argv`; returns (wall s, CPU s, max RSS MB, exit status)."""
    t = time.perf_counter()
    p = subprocess.Popen(argv, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(p.pid, 0)
    wall = time.perf_counter() - t
    p.returncode = os.waitstatus_to_exitcode(status)
    err = p.stderr.read().decode(errors="replace")
    p.stderr.close()
    if p.returncode not in (0, 3):
        sys.exit("%s failed (%d): %s" % (" ".join(argv), p.returncode, err))
    return wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024.0, p.returncode


def medians(rows):
    """Median wall, CPU and max RSS of rows that measured() gave."""
    return tuple(statistics.median(r[i] for r in rows) for i in range(3))


def median_of(runs, run_once):
    """Median wall, CPU and max RSS of `runs` calls of run_once()."""
    return medians([run_once() for _ in range(runs)])
