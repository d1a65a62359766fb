# One model file into Blender's terms: run the converter with the user's
# panel edits, read what the host received, turn it into mesh arrays. Every
# failure becomes one line, in the converter's own words where it has them.
import os

import numpy as np

from . import converter, geometry, lwob, trace

# Option values as the converter's panel edits take them.
LOAD = {"LINES": "lines", "FACES": "faces", "BOTH": "both"}
COLOURS = {"BRIGHT": "bright", "MIDDLE": "middle", "DARK": "dark"}
ON_OFF = {"ON": "on", "OFF": "off"}


class Options:
    """The plug-in's seven options; None (or "FILE") keeps what the file proposes."""

    def __init__(self, load=None, colours=None, scale=None, name=None, smooth=None, angle=None,
                 double_sided=None):
        self.load, self.colours, self.scale, self.name = load, colours, scale, name
        self.smooth, self.angle, self.double_sided = smooth, angle, double_sided

    def edits(self):
        """The converter's command-line options for these edits."""
        args = []
        if self.load in LOAD:
            args += ["--load", LOAD[self.load]]
        if self.colours in COLOURS:
            args += ["--colours", COLOURS[self.colours]]
        if self.scale is not None:
            args += ["--scale", repr(float(self.scale))]
        if self.name is not None:
            args += ["--name", self.name]
        if self.smooth in ON_OFF:
            args += ["--smooth", ON_OFF[self.smooth]]
        if self.angle is not None:
            args += ["--angle", repr(float(self.angle))]
        if self.double_sided in ON_OFF:
            args += ["--double-sided", ON_OFF[self.double_sided]]
        return args


class Outcome:
    def __init__(self, path):
        self.path = path
        self.error = None  # one line when nothing was imported
        self.warnings = []
        self.received = None  # trace.Received
        self.route = None  # what it was read from: "lwob" or "trace"
        self.data = None  # geometry.MeshData


def read(path, converter_path, options, axes=np.eye(3), route="lwob"):
    """Runs the converter on `path` and reads what the host received:
    an Outcome with `received` and `data` set, or with `error`. The host's
    object comes as an LWOB file, which is the faster to write and read,
    or, when that layout cannot hold it (or `route` is "trace"), as the
    call trace."""
    out = Outcome(path)
    run = converter.run(converter_path, path, options.edits(), lwob=route == "lwob")
    if route == "lwob" and run.returncode == converter.NOT_WRITTEN:
        route = "trace"
        run = converter.run(converter_path, path, options.edits())
    failures = [e for e in run.errors if not e.startswith("ostrel: warning:")]
    out.warnings += [e for e in run.errors if e.startswith("ostrel: warning:")]
    if run.returncode != 0:
        out.error = failures[0] if failures else f"ostrel: {path}: failed with exit status {run.returncode}"
        return out
    try:
        out.received = (lwob if route == "lwob" else trace).parse(run.output)
    except trace.TraceError as e:
        out.error = f"ostrel: {path}: the converter's output cannot be read ({e})"
        return out
    out.route = route
    r = out.received
    if len(r.points) == 0:
        # Without points no polygon can show either.
        out.error = (f"ostrel: {path}: nothing to import (0 points, "
                     f"{len(r.polygon_sizes)} polygons received)")
        return out
    out.data = geometry.mesh_data(r, axes)
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
