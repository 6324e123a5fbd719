"""Wall and CPU time, peak memory and minor page faults of a program's runs,
for the benchmark scripts beside it."""
import collections
import contextlib
import os
import re
import statistics
import subprocess
import sys
import tempfile
import time

THP = "/sys/kernel/mm/transparent_hugepage/enabled"
# GNU time: the figures of a process it started itself. A process started
# from this one inherits, as its peak memory, this process's memory at the
# fork (Linux keeps the peak across exec), which a large Python process
# would set far above the program's own.
GNU_TIME = "/usr/bin/time"

# One run's figures; `faults` are minor page faults, pages first touched.
Run = collections.namedtuple("Run", "wall cpu rss faults status")


def measured(argv, env):
    """Runs `argv` and returns its Run; exits if it fails (status other than 0 or 3)."""
    with tempfile.NamedTemporaryFile(mode="r", prefix="kelvora-time-") as figures:
        timed = os.access(GNU_TIME, os.X_OK)
        launch = [GNU_TIME, "-q", "-f", "%M %R", "-o", figures.name] if timed else []
        t = time.perf_counter()
        p = subprocess.Popen(launch + argv, env=env, stdout=subprocess.DEVNULL,
                             stderr=subprocess.PIPE)
        _, status, usage = os.wait4(p.pid, 0)
        wall = time.perf_counter() - t
        p.returncode = os.waitstatus_to_exitcode(status)
        err = p.stderr.read().decode(errors="replace")
        p.stderr.close()
        if p.returncode not in (0, 3):
            sys.exit("%s failed (%d): %s" % (" ".join(argv), p.returncode, err))
        if not timed:
            return Run(wall, usage.ru_utime + usage.ru_stime, usage.ru_maxrss / 1024.0,
                       usage.ru_minflt, p.returncode)
        # CPU time from the wait, which counts the program GNU time waited
        # for, at a finer grain than GNU time gives it.
        rss_kb, faults = figures.read().split()
        return Run(wall, usage.ru_utime + usage.ru_stime, int(rss_kb) / 1024.0, int(faults),
                   p.returncode)


def medians(rows):
    """Median wall, CPU, max RSS and minor faults of Runs that measured() gave."""
    return tuple(statistics.median(r[i] for r in rows) for i in range(4))


def _thp_mode():
    try:
        with open(THP) as f:
            m = re.search(r"\[(\w+)\]", f.read())
            return m.group(1) if m else None
    except OSError:
        return None


@contextlib.contextmanager
def huge_pages_off():
    """Turns transparent huge pages off while the block runs, so that a fault
    count is one page a fault on every machine, and restores the mode after.
    Yields a line that says under which mode the faults were counted."""
    mode = _thp_mode()
    if mode is None:
        yield "minor faults: this kernel has no transparent huge pages"
        return
    if mode == "never":
        yield "minor faults counted with transparent huge pages off"
        return
    try:
        with open(THP, "w") as f:
            f.write("never")
    except OSError as e:
        yield ("minor faults counted with transparent huge pages '%s' (could not turn "
               "them off: %s); they may not compare with another machine's" % (mode, e.strerror))
        return
    try:
        yield "minor faults counted with transparent huge pages off (was '%s')" % mode
    finally:
        with open(THP, "w") as f:
            f.write(mode)
