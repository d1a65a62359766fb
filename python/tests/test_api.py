# The package as a user calls it: what load() hands over (views of the
# engine's memory, kept alive), the choices reaching the engine and the
# engine's refusals, failures in the command line's words, and convert()
# writing the command line's bytes. The host's rules themselves are the
# engine's tests'.
import gc
import os
import re

import numpy as np
import pytest
from conftest import CUBE, ROOT, cli

import ostrel


def test_the_cube_as_the_host_received_it():
    model = ostrel.load(CUBE, shading=True)
    assert model.points.shape == (8, 3) and model.points.dtype == np.float32
    assert model.polygon_sizes.tolist() == [4] * 6 and model.polygon_sizes.dtype == np.uint32
    assert len(model.corners) == 24 and model.corners.max() == 7
    assert model.polygon_surfaces.tolist() == [0, 1, 2, 1, 2, 0]
    assert [s.name for s in model.surfaces] == ["cube0", "cube1", "cube2"]
    assert model.triangles.shape == (12, 3) and model.corner_normals.shape == (24, 3)
    assert model.statistics == "8 pts / 0/0 lines / 6 faces"
    assert model.counts == ostrel.Counts(points=8, polygons=6, dropped=0, surfaces=3)
    assert model.proposals == {"load": ostrel.Load.FACES, "colours": ostrel.Colours.MIDDLE,
                               "scale": 8.0, "base_name": "cube", "smooth": True, "angle": 44.5,
                               "double_sided": False}
    # The trace says what the host received: the same points and blocks.
    trace = cli(CUBE, "--trace", "-").stdout.decode()
    received = [[float(v) for v in line.split()[1:]] for line in trace.splitlines()
                if line.startswith("addPoints ")]
    assert received == model.points.tolist()
    assert ostrel.load(CUBE).triangles is None  # shading only when asked


def test_arrays_are_read_only_views_that_keep_the_import():
    model = ostrel.load(CUBE, shading=True)
    points, normals = model.points, model.corner_normals
    with pytest.raises(ValueError):
        points[0, 0] = 1
    with pytest.raises(ValueError):
        points.flags.writeable = True
    assert not points.flags.owndata
    expected = points.copy(), normals.copy()
    del model
    gc.collect()
    ostrel.load(os.path.join(ROOT, "examples", "tetrahedron.rk4"))  # reuses freed memory
    assert np.array_equal(points, expected[0]) and np.array_equal(normals, expected[1])


def test_bytes_and_names():
    data = open(CUBE, "rb").read()
    by_bytes = ostrel.load(bytearray(data), "box.rk4")
    assert [s.name for s in by_bytes.surfaces] == ["box0", "box1", "box2"]
    assert np.array_equal(by_bytes.points, ostrel.load(CUBE).points)
    assert ostrel.load(data).surfaces[0].name == "model0"
    assert ostrel.load(CUBE, "crate.rk4").surfaces[0].name == "crate0"


def test_choices_reach_the_engine_as_the_command_line_gives_them():
    choices = dict(load="both", colours=ostrel.Colours.DARK, scale=1.5, base_name="box",
                   smooth=False, angle=100, double_sided=True)
    options = ["--load", "both", "--colours", "dark", "--scale", "1.5", "--name", "box",
               "--smooth", "off", "--angle", "100", "--double-sided", "on"]
    assert ostrel.convert(CUBE, "lwo", **choices) == {"cube.lwo": cli(*options, CUBE, "-o", "-",
                                                                      "--format", "lwo").stdout}


@pytest.mark.parametrize("choice, value, said", [
    ("load", 3, "0 (lines only), 1 (faces only) or 2 (both)"),
    ("colours", "purple", "bright, middle or dark"),
    ("smooth", 0.5, "1 (on) or 0 (off)"),
    ("double_sided", "maybe", "on or off"),
    ("angle", float("inf"), "a number of degrees, 0 to 180"),
    ("base_name", 7, "text of at most 255 bytes"),
])
def test_a_choice_the_engine_refuses_is_named(choice, value, said):
    with pytest.raises(ValueError, match=re.escape(said)) as refused:
        ostrel.load(CUBE, **{choice: value})
    assert str(refused.value).startswith(f"{choice}: ")


def test_a_format_the_engine_does_not_know_is_named():
    with pytest.raises(ValueError, match=r"^format: 'dae'.*lwo, obj"):
        ostrel.convert(CUBE, "dae")


def test_failures_in_the_command_lines_words(tmp_path):
    empty = tmp_path / "empty.rk4"
    empty.write_bytes(b"")
    missing = tmp_path / "missing.rk4"
    cut = tmp_path / "cut.rk4"
    cut.write_bytes(open(CUBE, "rb").read()[:300])
    for path, error in ((os.path.join(ROOT, "tests", "data", "not_model.txt"), ostrel.NotModelFile),
                        (str(empty), ostrel.NotModelFile), (str(missing), ostrel.CannotRead),
                        (str(cut), ostrel.Damaged)):
        with pytest.raises(error) as failed:
            ostrel.load(path)
        said = cli("--quiet", path, check=False).stderr.decode().strip()
        assert said == f"ostrel: {path}: {failed.value}"
        assert failed.value.name == path and isinstance(failed.value, ostrel.Error)
    # What was read of a damaged file, when asked for, says it is damaged.
    salvaged = ostrel.load(str(cut), salvage=True)
    assert f"damaged: {salvaged.damage}" == str(failed.value) and len(salvaged.points) > 0
    assert ostrel.load(CUBE).damage is None
    # A path given as bytes is named as such, not read as a model's start.
    with pytest.raises(ostrel.NotModelFile, match="these bytes name a file"):
        ostrel.load(os.fsencode(CUBE))
    assert ostrel.__version__ == ostrel.engine().version


def test_convert_writes_the_command_lines_bytes(tmp_path):
    formats = cli("--version").stdout.decode().split("outputs: ")[1].split()
    for format in formats:
        out = tmp_path / format
        out.mkdir()
        said = cli(CUBE, "-o", str(out / f"cube.{format}"), "--scale", "1").stdout.decode()
        written = {name: (out / name).read_bytes() for name in sorted(os.listdir(out))}
        files = ostrel.convert(CUBE, format, scale=1)
        assert files == written, format
        # The printing formats' closed-solid line, in the command line's words.
        assert bool(files.solid_line) == (format in ("stl", "3mf")), format
        expected = [f"{CUBE}: {files.solid_line}"] if files.solid_line else []
        assert said.splitlines()[1:] == expected, format
    cli(CUBE, "-o", str(tmp_path / "small.png"), "--size", "64")
    assert ostrel.convert(CUBE, "png", size=64) == {"cube.png": (tmp_path / "small.png").read_bytes()}
    with pytest.raises(ValueError, match="^size: 4 "):
        ostrel.convert(CUBE, "png", size=4)


def test_proposals_without_importing():
    found = ostrel.proposals(CUBE)
    assert found.statistics == "8 pts / 0/0 lines / 6 faces"
    assert found.choices == ostrel.load(CUBE).proposals


def test_an_engine_that_cannot_be_loaded(tmp_path):
    with pytest.raises(ostrel.EngineError, match="no such file"):
        ostrel.Engine(str(tmp_path / "libostrel_engine.so"))
    not_a_library = tmp_path / "libostrel_engine.so"
    not_a_library.write_bytes(b"not a library")
    with pytest.raises(ostrel.EngineError, match="cannot be loaded"):
        ostrel.Engine(str(not_a_library))


def test_help_shows_the_choices():
    assert "double_sided" in str(__import__("inspect").signature(ostrel.load))
    assert "options panel" in ostrel.load.__doc__ and "ROKU4" in ostrel.__doc__
