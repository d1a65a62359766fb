# One model file into Blender's terms: the engine runs the import with the
# user's panel edits, and what the host received becomes mesh arrays. Every
# failure becomes one line, in the converter's own words.
import os

import numpy as np

from . import engine, geometry

# Option values as the panel's choices number them.
LOAD = {"LINES": 0, "FACES": 1, "BOTH": 2}
COLOURS = {"BRIGHT": 0, "MIDDLE": 1, "DARK": 2}
ON_OFF = {"ON": 1, "OFF": 0}


class Options:
    """The plug-in's seven options; None (or "FILE") keeps what the file proposes."""

    def __init__(self, load=None, colours=None, scale=None, name=None, smooth=None, angle=None,
                 double_sided=None):
        self.load, self.colours, self.scale, self.name = load, colours, scale, name
        self.smooth, self.angle, self.double_sided = smooth, angle, double_sided

    def edits(self):
        """The panel edits, as (edit, value) pairs for the engine."""
        edits = []
        if self.load in LOAD:
            edits.append((engine.EDIT_LOAD, LOAD[self.load]))
        if self.colours in COLOURS:
            edits.append((engine.EDIT_COLOURS, COLOURS[self.colours]))
        if self.scale is not None:
            edits.append((engine.EDIT_SCALE, self.scale))
        if self.name is not None:
            edits.append((engine.EDIT_NAME, self.name))
        if self.smooth in ON_OFF:
            edits.append((engine.EDIT_SMOOTH, ON_OFF[self.smooth]))
        if self.angle is not None:
            edits.append((engine.EDIT_ANGLE, self.angle))
        if self.double_sided in ON_OFF:
            edits.append((engine.EDIT_DOUBLE_SIDED, ON_OFF[self.double_sided]))
        return edits


class Outcome:
    def __init__(self, path):
        self.path = path
        self.error = None  # one line when nothing was imported
        self.warnings = []
        self.data = None  # geometry.MeshData


def read(path, library, options, axes=np.eye(3)):
    """Imports `path` through the engine: an Outcome with `data` set, or
    with `error`."""
    out = Outcome(path)
    with engine.run(library, path, options.edits()) as done:
        out.warnings = [f"ostrel: warning: {w}" for w in done.warnings]
        if done.result != engine.LOADED:
            out.error = f"ostrel: {path}: {done.reason}"
            return out
        if len(done.points) == 0:
            # Without points no polygon can show either.
            out.error = (f"ostrel: {path}: nothing to import (0 points, "
                         f"{done.received_polygons} polygons received)")
            return out
        out.data = geometry.mesh_data(done, axes)
    d = out.data
    if len(d.face_sizes) == 0 and len(d.loose_edges) == 0:
        out.warnings.append(f"ostrel: {path}: no polygon to show: the object holds points only")
    if d.split_polygons:
        out.warnings.append(
            f"ostrel: {path}: {d.split_polygons} polygon(s) run through a point more than once, "
            f"which a Blender face cannot: kept as the {d.split_faces} simple loop(s) they are made of")
    return out


def object_name(path):
    return os.path.splitext(os.path.basename(path))[0]
