# One model file into Blender's terms: the engine runs the import with the
# user's panel choices and lays what the host received out as Blender keeps
# a mesh. Every failure becomes one line, in the converter's own words.
import os

import numpy as np

from . import engine, geometry

ostrel = engine.ostrel


class Outcome:
    def __init__(self, path):
        self.path = path
        self.error = None  # one line when nothing was imported
        self.damaged = False  # the engine found the file damaged
        self.warnings = []
        self.data = None  # geometry.ObjectArrays


def read(path, found, choices, axes=np.eye(3), salvage=False):
    """Imports `path` through the engine `found` (an ostrel.Engine) with the
    panel's `choices` (as ostrel.load takes them; None: as the file
    proposes): an Outcome with `data` set, or with `error`. A damaged file
    is an error, unless `salvage` asks for what was read. The engine judges
    the choices and the file, and words the warnings; the add-on only adds
    what it did."""
    out = Outcome(path)
    try:
        model = found.load(path, right_handed=True, edge_mesh=True, salvage=salvage, **choices)
    except (ostrel.Error, ValueError) as e:  # ValueError: a choice the engine refused
        out.warnings = [f"ostrel: warning: {w}" for w in getattr(e, "warnings", ())]
        out.error = f"ostrel: {path}: {e}"
        out.damaged = isinstance(e, ostrel.Damaged)
        return out
    out.warnings = [f"ostrel: warning: {w}" for w in model.warnings]
    if model.damage:
        out.damaged = True
        out.warnings.append(f"ostrel: {path}: damaged: {model.damage} (imported as read)")
    out.data = d = geometry.ObjectArrays(model, axes)
    if len(d.face_starts) == 0 and len(d.edges) == 0:
        out.warnings.append(f"ostrel: {path}: no polygon to show: the object holds points only")
    if d.split_polygons:
        # The engine warned of them; what Blender holds of them is ours to say.
        out.warnings.append(
            f"ostrel: {path}: kept in Blender as the {d.split_faces} simple loop(s) those "
            f"{d.split_polygons} polygon(s) are made of: a Blender face cannot run through a "
            f"point twice")
    return out


def object_name(path):
    return os.path.splitext(os.path.basename(path))[0]
