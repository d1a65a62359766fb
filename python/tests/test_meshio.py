# meshio.read of model files: polygons of any size in the order received,
# each cell's surface and polygon, and a mesh meshio's own writers take.
import os

import numpy as np
import pytest
from conftest import ROOT

meshio = pytest.importorskip("meshio")
import ostrel  # noqa: E402
import ostrel.meshio  # noqa: E402,F401

CONCAVE = os.path.join(ROOT, "tests", "data", "concave.rk4")  # n-gons of 4 to 16 corners


def test_polygons_of_any_size_in_the_order_received(tmp_path):
    model = ostrel.load(CONCAVE)
    mesh = meshio.read(CONCAVE)
    assert np.array_equal(mesh.points, model.points)
    polygons = np.concatenate(mesh.cell_data["ostrel:polygon"])
    assert polygons.tolist() == list(range(len(model.polygon_sizes)))  # every one, in order
    corners = np.concatenate([block.data.ravel() for block in mesh.cells])
    assert np.array_equal(corners, model.corners)
    assert {b.type for b in mesh.cells} == {"quad", "polygon"}
    surfaces = np.concatenate(mesh.cell_data["ostrel:surface"])
    assert np.array_equal(surfaces, model.polygon_surfaces)
    assert list(mesh.cell_sets) == [s.name for s in model.surfaces]
    # meshio's own writer and reader take it as it is.
    meshio.write(tmp_path / "concave.vtu", mesh)
    back = meshio.read(tmp_path / "concave.vtu")
    assert [(b.type, b.data.tolist()) for b in back.cells] == \
        [(b.type, b.data.tolist()) for b in mesh.cells]


def test_lines_a_buffer_and_a_failure():
    freelines = os.path.join(ROOT, "examples", "freelines.rk4")
    with open(freelines, "rb") as f:
        mesh = meshio.read(f, file_format="rk4")
    assert [(b.type, len(b)) for b in mesh.cells] == [("triangle", 1), ("line", 4)]
    assert list(mesh.cell_sets) == ["freelines1", "freelines2", "freelines3"]
    with pytest.raises(ostrel.NotModelFile):
        meshio.read(os.path.join(ROOT, "tests", "data", "not_model.txt"), file_format="rk4")
