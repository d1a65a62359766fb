"""Model files in meshio: after `import ostrel.meshio`, meshio.read("x.rk4")
(or meshio.read(file, file_format="rk4")) gives a meshio.Mesh of the model
as the host received it: its points, and its polygons in the order
received, of any size, as cell blocks, one block per run of polygons of one
size ("vertex", "line", "triangle", "quad", "polygon"); polygons without
points have no cell. cell_data["ostrel:surface"] gives each cell's surface
(an index into field_data's), cell_data["ostrel:polygon"] the polygon it
is, and cell_sets each surface's cells by name. Points are in the host's
space (left-handed, Y up), as the engine hands them over (a view of the
engine's array).

mesh(model) makes the mesh of an ostrel.Model, with its choices.
"""
from __future__ import annotations

import os

import meshio as _meshio
import numpy as np

from . import DEFAULT_NAME, Model, engine

FORMAT = "rk4"
_CELL_TYPES = {1: "vertex", 2: "line", 3: "triangle", 4: "quad"}


def mesh(model: Model) -> "_meshio.Mesh":
    """The meshio.Mesh of an ostrel.Model."""
    sizes = model.polygon_sizes
    starts = model.polygon_starts
    # Runs of polygons of one size, in the order received.
    breaks = np.flatnonzero(np.diff(sizes.astype(np.int64))) + 1
    run_starts = np.concatenate(([0], breaks)) if len(sizes) else np.zeros(0, np.int64)
    run_ends = np.concatenate((breaks, [len(sizes)])) if len(sizes) else run_starts
    cells, surfaces, polygons = [], [], []
    for begin, end in zip(run_starts.tolist(), run_ends.tolist()):
        size = int(sizes[begin])
        if size == 0:
            continue
        first = int(starts[begin])
        # As signed numbers: meshio's writers count offsets in the cells' type.
        block = model.corners[first:first + (end - begin) * size].astype(np.int64)
        block = block.reshape(end - begin, size)
        cells.append(_meshio.CellBlock(_CELL_TYPES.get(size, "polygon"), block))
        surfaces.append(model.polygon_surfaces[begin:end])
        polygons.append(np.arange(begin, end, dtype=np.int64))
    cell_sets = {s.name: [np.flatnonzero(block == i) for block in surfaces]
                 for i, s in enumerate(model.surfaces)}
    field_data = {s.name: np.array([i, 2]) for i, s in enumerate(model.surfaces)}
    return _meshio.Mesh(model.points, cells,
                        cell_data={"ostrel:surface": surfaces, "ostrel:polygon": polygons},
                        field_data=field_data, cell_sets=cell_sets)


def read(filename, **choices) -> "_meshio.Mesh":
    """meshio's reader for model files: a path, or an open binary file.
    Raises ostrel.Error (in the command line's words) for one that does not
    load."""
    if isinstance(filename, (str, os.PathLike)):
        return mesh(engine().load(filename, **choices))
    path = getattr(filename, "name", None)
    name = os.path.basename(path) if isinstance(path, str) else DEFAULT_NAME
    return mesh(engine().load(filename.read(), name, **choices))


def register() -> None:
    """Registers the format with meshio (done on import)."""
    _meshio.register_format(FORMAT, [".rk4"], read, {})


register()
