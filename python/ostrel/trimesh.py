"""Model files in trimesh: after `import ostrel.trimesh`, trimesh.load("x.rk4")
gives a trimesh.Scene with one geometry per surface, named after it: a
Trimesh of the surface's faces, cut into the host's triangles, each face in
the surface's colour; a surface with lines also gets a Path3D of them
(named "SURFACE.lines"). Choices go with the call:
trimesh.load("x.rk4", scale=1, colours="dark").

Vertices are the model's points in the host's space (left-handed, Y up)
as the engine hands them over; each geometry holds the points its faces
use, in the file's order. scene.metadata["ostrel"] holds the statistics
line, the warnings and the counts; each geometry's metadata["ostrel"] its
surface's attributes. scene(model) makes the scene of an ostrel.Model.
"""
from __future__ import annotations

import dataclasses
import os
from typing import Any, Dict

import numpy as np
import trimesh as _trimesh

from . import DEFAULT_NAME, Model, engine
from ._model import CHOICES

FILE_TYPE = "rk4"


def _surface_metadata(surface) -> Dict[str, Any]:
    values = dataclasses.asdict(surface)
    del values["name_bytes"]  # metadata goes into JSON (glTF's extras)
    return values


def _compact(points: np.ndarray, used: np.ndarray):
    """The points `used` names, in their order, and `used` renumbered."""
    kept, renumbered = np.unique(used, return_inverse=True)
    return points[kept], renumbered.reshape(used.shape)


def scene_data(model: Model) -> Dict[str, Any]:
    """The scene of `model` as trimesh's loaders return one: geometry by
    name, as the arguments of each geometry."""
    if model.triangles is None:
        raise ValueError("the model was loaded without shading: its triangles are missing")
    starts = model.polygon_starts
    # Each triangle's polygon is its first corner's; its surface, the polygon's.
    polygon = np.searchsorted(starts, model.triangles[:, 0], side="right") - 1
    triangle_surface = model.polygon_surfaces[polygon] if len(polygon) else polygon
    lines = np.flatnonzero(model.polygon_sizes == 2)
    line_points = model.corners[starts[lines][:, None] + np.arange(2)]
    line_surface = model.polygon_surfaces[lines]

    geometry: Dict[str, Any] = {}
    for index, surface in enumerate(model.surfaces):
        colour = np.array([*surface.colour, 255], np.uint8)
        metadata = {"ostrel": _surface_metadata(surface)}
        faces = model.corners[model.triangles[triangle_surface == index]]
        if len(faces):
            vertices, faces = _compact(model.points, faces)
            geometry[surface.name] = {"vertices": vertices, "faces": faces, "process": False,
                                      "face_colors": np.tile(colour, (len(faces), 1)),
                                      "metadata": metadata}
        ends = line_points[line_surface == index]
        if len(ends):
            from trimesh.path.entities import Line

            vertices, ends = _compact(model.points, ends)
            name = f"{surface.name}.lines" if surface.name in geometry else surface.name
            geometry[name] = {"entities": [Line(e) for e in ends], "vertices": vertices,
                              "colors": np.tile(colour, (len(ends), 1)), "metadata": metadata}
    return {"geometry": geometry,
            "graph": [{"frame_to": name, "geometry": name} for name in geometry],
            "metadata": {"ostrel": {"name": model.name, "statistics": model.statistics,
                                    "warnings": list(model.warnings),
                                    "counts": model.counts._asdict()}}}


def scene(model: Model) -> "_trimesh.Scene":
    """The trimesh.Scene of an ostrel.Model loaded with shading=True."""
    return _trimesh.exchange.load.load_kwargs(scene_data(model))


def load_rk4(file_obj, file_type=None, resolver=None, **kwargs) -> Dict[str, Any]:
    """trimesh's loader for model files: `file_obj` an open file (or a
    path); the ostrel choices among `kwargs`."""
    choices = {k: v for k, v in kwargs.items() if k in CHOICES}
    if isinstance(file_obj, (str, os.PathLike)):
        source, name = file_obj, None
    else:
        path = getattr(file_obj, "name", None)
        if isinstance(path, str) and os.path.isfile(path):
            source, name = path, None  # the engine reads it where it lies
        else:
            source = file_obj.read()
            name = os.path.basename(path) if isinstance(path, str) else DEFAULT_NAME
    return scene_data(engine().load(source, name, shading=True, **choices))


def register() -> None:
    """Registers the loader in trimesh's own table (done on import)."""
    _trimesh.exchange.load.mesh_loaders[FILE_TYPE] = load_rk4


def load(source, name=None, **choices) -> "_trimesh.Scene":
    """The trimesh.Scene of a model file (a path or bytes), with the choices
    of ostrel.load."""
    return scene(engine().load(source, name, shading=True, **choices))


register()
