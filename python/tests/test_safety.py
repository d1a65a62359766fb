# Safe and fast from Python: every hostile file gives a model or an
# ostrel.Error, never a crash, with arrays that stay inside the engine's;
# imports on two threads at once give what they give alone; many imports
# leave no memory behind. (What the package adds to the engine's time is a
# benchmark: bench/python-load.py.)
import os
import subprocess
import threading

import numpy as np
import pytest
from conftest import ROOT, program

import ostrel

HOSTILE = [os.path.join(folder, name)
           for folder in (os.path.join(ROOT, "tests", "data"), os.path.join(ROOT, "fuzz", "corpus"),
                          os.path.join(ROOT, "fuzz", "regressions"))
           for name in sorted(os.listdir(folder))]


def consistent(model):
    """The views agree with each other: every number names something there."""
    corners, points = len(model.corners), len(model.points)
    assert int(model.polygon_sizes.sum(dtype=np.int64)) == corners
    assert corners == 0 or int(model.corners.max()) < points
    assert len(model.polygon_surfaces) == 0 or int(model.polygon_surfaces.max()) < len(model.surfaces)
    assert model.corner_normals.shape == (corners, 3)
    assert model.triangles.size == 0 or int(model.triangles.max()) < corners


@pytest.mark.parametrize("path", HOSTILE, ids=[os.path.relpath(p, ROOT) for p in HOSTILE])
def test_a_hostile_file_gives_a_model_or_an_error(path):
    data = open(path, "rb").read()
    for source, name in ((path, None), (data, os.path.basename(path))):
        try:
            model = ostrel.load(source, name, shading=True)
        except ostrel.Error as e:
            assert str(e) and e.result != ostrel.Result.LOADED
        else:
            consistent(model)


def test_two_threads_at_once_get_what_each_gets_alone(tmp_path):
    models = []
    for seed in (3, 4):
        path = tmp_path / f"generated-{seed}.rk4"
        subprocess.run([program("generate-model"), "--size", "2", "--seed", str(seed), str(path)],
                       check=True, capture_output=True)
        models.append(str(path))
    alone = [ostrel.load(m, shading=True) for m in models]
    start, failures = threading.Barrier(2), []

    def run(path, expected):
        start.wait()
        for _ in range(6):
            got = ostrel.load(path, shading=True)
            for array in ("points", "corners", "polygon_surfaces", "triangles", "corner_normals"):
                if not np.array_equal(getattr(got, array), getattr(expected, array)):
                    failures.append(f"{path}: {array} differs")
            if got.surfaces != expected.surfaces or got.warnings != expected.warnings:
                failures.append(f"{path}: surfaces or warnings differ")

    threads = [threading.Thread(target=run, args=(m, a)) for m, a in zip(models, alone)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert not failures


def resident_bytes():
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


@pytest.mark.skipif(not os.path.exists("/proc/self/statm"), reason="no /proc to read memory from")
def test_many_imports_leave_no_memory_behind(tmp_path):
    path = tmp_path / "generated.rk4"
    subprocess.run([program("generate-model"), "--size", "1", "--seed", "5", str(path)],
                   check=True, capture_output=True)
    ostrel.load(str(path), shading=True)
    after_first = resident_bytes()
    for _ in range(199):
        model = ostrel.load(str(path), shading=True)
        model.points.sum()
    grown = resident_bytes() - after_first
    print(f"resident after the first import {after_first / 2**20:.1f} MiB, "
          f"after 200: {grown / 2**20:+.1f} MiB")
    assert grown < 10 * 2**20

