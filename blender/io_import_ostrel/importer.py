# One model file into Blender's terms: the engine runs the import with the
# user's panel choices, and what the host received becomes mesh arrays. Every
# failure becomes one line, in the converter's own words.
import os

import numpy as np

from . import engine, geometry

ostrel = engine.ostrel


class Options:
    """The plug-in's seven options; None (or "FILE") keeps what the file
    proposes. `load` and `colours` are item names ("LINES", "DARK"), `smooth`
    and `double_sided` "ON" or "OFF"."""

    def __init__(self, load=None, colours=None, scale=None, name=None, smooth=None, angle=None,
                 double_sided=None):
        self.load, self.colours, self.scale, self.name = load, colours, scale, name
        self.smooth, self.angle, self.double_sided = smooth, angle, double_sided

    def choices(self):
        """The choices as ostrel.load takes them."""
        switch = {"ON": True, "OFF": False}
        return dict(load=None if self.load == "FILE" else self.load,
                    colours=None if self.colours == "FILE" else self.colours,
                    scale=self.scale, base_name=self.name, smooth=switch.get(self.smooth),
                    angle=self.angle, double_sided=switch.get(self.double_sided))


class Outcome:
    def __init__(self, path):
        self.path = path
        self.error = None  # one line when nothing was imported
        self.warnings = []
        self.data = None  # geometry.MeshData


def read(path, found, options, axes=np.eye(3)):
    """Imports `path` through the engine `found` (an ostrel.Engine): an
    Outcome with `data` set, or with `error`."""
    out = Outcome(path)
    try:
        model = found.load(path, shading=True, **options.choices())
    except (ostrel.Error, ValueError) as e:  # ValueError: a choice the engine refused
        out.warnings = [f"ostrel: warning: {w}" for w in getattr(e, "warnings", ())]
        out.error = f"ostrel: {path}: {e}"
        return out
    out.warnings = [f"ostrel: warning: {w}" for w in model.warnings]
    if len(model.points) == 0:
        # Without points no polygon can show either.
        out.error = (f"ostrel: {path}: nothing to import (0 points, "
                     f"{model.counts.polygons} polygons received)")
        return out
    out.data = d = geometry.mesh_data(model, axes)
    if len(d.face_sizes) == 0 and len(d.loose_edges) == 0:
        out.warnings.append(f"ostrel: {path}: no polygon to show: the object holds points only")
    if d.split_polygons:
        out.warnings.append(
            f"ostrel: {path}: {d.split_polygons} polygon(s) run through a point more than once, "
            f"which a Blender face cannot: kept as the {d.split_faces} simple loop(s) they are made of")
    return out


def object_name(path):
    return os.path.splitext(os.path.basename(path))[0]
