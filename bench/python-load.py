#!/usr/bin/env python3
# What the Python package adds to the engine's time: ostrel.load against the
# command line's --check on the same file, with and without the reader's
# warnings (which --quiet leaves out), and with shading; best of five, the
# calls taking turns, wall and CPU time (CPU time holds on a machine other
# builds share). Two grids: one of 65,536 points, which the host receives
# whole, so both sides do the same work; and the import benchmarks' grid of
# four such copies (262,144 points), whose faces past the 65,536th point
# --check does not count (the host does not get them) while ostrel.load
# keeps them all.
#
#   bench/python-load.py [BUILD]      (BUILD: build/, with ostrel, the engine
#                                      and generate-model; the package from
#                                      python/ unless one is installed)
import os
import resource
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build"))
os.environ.setdefault("OSTREL_ENGINE", os.path.join(BUILD, "libostrel_engine.so"))
try:
    import ostrel
except ImportError:
    sys.path.insert(0, os.path.join(ROOT, "python"))
    import ostrel


def cpu_seconds():
    """This process's and its finished children's CPU time."""
    children = resource.getrusage(resource.RUSAGE_CHILDREN)
    return time.process_time() + children.ru_utime + children.ru_stime


def best_times(runs, calls):
    wall, cpu = [float("inf")] * len(calls), [float("inf")] * len(calls)
    for _ in range(runs):
        for i, call in enumerate(calls):
            start, start_cpu = time.perf_counter(), cpu_seconds()
            call()
            wall[i] = min(wall[i], time.perf_counter() - start)
            cpu[i] = min(cpu[i], cpu_seconds() - start_cpu)
    return wall, cpu


def measure(model):
    ostrel_cli = os.path.join(BUILD, "ostrel")

    def checked(*options):
        return lambda: subprocess.run([ostrel_cli, "--check", *options, model], check=True,
                                      capture_output=True)

    ostrel.load(model)
    calls = {"ostrel --check --quiet": checked("--quiet"),
             "ostrel.load(read_warnings=False)": lambda: ostrel.load(model, read_warnings=False),
             "ostrel --check": checked(),
             "ostrel.load": lambda: ostrel.load(model),
             "ostrel.load(shading=True)": lambda: ostrel.load(model, shading=True)}
    wall, cpu = best_times(5, list(calls.values()))
    print(f"{os.path.basename(model)}: {os.path.getsize(model) / 1e6:.1f} MB, "
          f"best of 5, wall / CPU:")
    for i, what in enumerate(calls):
        ratio = f" ({wall[i] / wall[i - 1]:.2f}x / {cpu[i] / cpu[i - 1]:.2f}x)" if i in (1, 3) else ""
        print(f"  {what}: {wall[i]:.3f} s / {cpu[i]:.3f} s{ratio}")


with tempfile.TemporaryDirectory() as work:
    for copies in ("1", "4"):
        model = os.path.join(work, f"grid-{copies}.rk4")
        subprocess.run([os.path.join(BUILD, "generate-model"), "--grid", "256", "--copies", copies,
                        "--lf", model], check=True, capture_output=True)
        measure(model)
