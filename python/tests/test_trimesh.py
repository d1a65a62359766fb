# trimesh.load of model files: a scene of one geometry per surface, in its
# colour, made of the host's triangles; lines as paths; choices passed on.
import os

import numpy as np
import pytest
from conftest import CUBE, ROOT

trimesh = pytest.importorskip("trimesh")
import ostrel  # noqa: E402
import ostrel.trimesh  # noqa: E402,F401


def test_a_scene_of_one_coloured_geometry_per_surface():
    scene = trimesh.load(CUBE)
    model = ostrel.load(CUBE, shading=True)
    assert isinstance(scene, trimesh.Scene)
    assert list(scene.geometry) == [s.name for s in model.surfaces]
    for index, surface in enumerate(model.surfaces):
        mesh = scene.geometry[surface.name]
        assert len(mesh.faces) == 2 * np.count_nonzero(model.polygon_surfaces == index)
        assert (mesh.visual.face_colors == [*surface.colour, 255]).all()
        assert mesh.metadata["ostrel"]["smooth"] == surface.smooth
    assert scene.metadata["ostrel"]["statistics"] == "8 pts / 0/0 lines / 6 faces"
    # The six faces close the cube: its volume is the scale's cube, 8^3.
    whole = trimesh.util.concatenate(list(scene.geometry.values()))
    whole.merge_vertices()
    assert whole.is_watertight and abs(abs(whole.volume) - 512) < 1e-3


def test_concave_faces_are_the_hosts_triangles_and_lines_are_paths():
    concave = os.path.join(ROOT, "tests", "data", "concave.rk4")
    model = ostrel.load(concave, shading=True, scale=1)
    scene = trimesh.load(concave, scale=1)
    assert sum(len(m.faces) for m in scene.geometry.values()) == len(model.triangles)
    # Cut into triangles, each polygon keeps its area: that of its outline.
    outlines = np.split(model.points[model.corners].astype(np.float64),
                        np.cumsum(model.polygon_sizes)[:-1])
    area = sum(np.linalg.norm(np.cross(o, np.roll(o, -1, axis=0)).sum(axis=0)) / 2
               for o in outlines if len(o) >= 3)
    assert np.isclose(sum(m.area for m in scene.geometry.values()), area)
    lines = trimesh.load(os.path.join(ROOT, "examples", "freelines.rk4"))
    paths = [g for g in lines.geometry.values() if isinstance(g, trimesh.path.Path3D)]
    assert sum(len(p.entities) for p in paths) == 4


def test_bytes_and_failures():
    with open(CUBE, "rb") as f:
        scene = trimesh.load(f, file_type="rk4")
    assert list(scene.geometry) == ["cube0", "cube1", "cube2"]
    with pytest.raises(ostrel.NotModelFile):
        trimesh.load(os.path.join(ROOT, "tests", "data", "not_model.txt"), file_type="rk4")
