# From what the host received to what a Blender mesh is made of: vertices,
# faces, loose edges and surfaces, as flat numpy arrays that the mesh takes
# in bulk. No Blender module is used here, so that this runs (and is tested)
# anywhere numpy does.
#
# The host's space is left-handed, Y up, with clockwise front faces. Turned
# into a right-handed one by negating Z (as the converter's OBJ and glTF
# files are), then by the axis conversion the user picked (by default Y up
# to Blender's Z up, as Blender's own OBJ and glTF importers do). The whole
# map is a mirror, so every loop is reversed as well, keeping its first
# corner first: (p0, pn-1, ..., p1). The front of each face thus stays on the
# side the host showed, and the object lands where the converter's glb lands
# when Blender imports it.
import math

import numpy as np

from . import surfaces as surface_blocks

# The host's space to the right-handed Y-up space of OBJ and glTF.
HOST_TO_Y_UP = np.diag([1.0, 1.0, -1.0])


class MeshData:
    """A Blender mesh in flat arrays, and what did not fit into one."""

    def __init__(self):
        self.vertices = np.zeros((0, 3), np.float32)
        self.face_sizes = np.zeros(0, np.int64)
        self.face_loops = np.zeros(0, np.int64)  # vertex of each loop, face after face
        self.face_surfaces = np.zeros(0, np.int64)  # index into `surfaces`
        self.face_origin = np.zeros(0, np.int64)  # received polygon each face comes from
        self.loose_edges = np.zeros((0, 2), np.int64)
        self.surfaces = []  # surfaces.Surface, in the order they were looked up
        self.smoothing_angle = None  # radians, as Blender's angle test takes it; None: no smoothing
        self.without_corners = 0  # polygons received without a point: nothing to show
        self.single_points = 0  # one-point polygons: the point is a vertex already
        self.collapsed_lines = 0  # two-point polygons whose points are the same point
        self.split_polygons = 0  # polygons running through a point twice, split there
        self.split_faces = 0  # the faces they became

    @property
    def face_starts(self):
        starts = np.zeros(len(self.face_sizes), np.int64)
        np.cumsum(self.face_sizes[:-1], out=starts[1:])
        return starts


def effective_angle(radians):
    """The angle within which the host smooths, for a block's angle of any
    value: it compares the cosine of the angle between two normals with the
    cosine of this one, so 270 degrees acts as 90 and -30 as 30."""
    if not math.isfinite(radians):
        return 0.0
    return math.acos(max(-1.0, min(1.0, math.cos(radians))))


def simple_loops(loop):
    """A closed loop that passes through a point more than once, cut at the
    repeats into loops that pass each point once, in the order they close;
    a loop met again (the same points in the same turn, from any start) is
    left out, and so are pieces of fewer than three points. The plug-in's
    chaining makes such loops of a face whose lines run round the same
    points twice: [2, 1, 0, 2, 1, 0] gives [[2, 1, 0]]."""
    pieces, stack, at = [], [], {}
    for point in list(loop) + [loop[0]]:
        if point in at:
            begin = at[point]
            pieces.append(stack[begin:])
            for p in stack[begin:]:
                del at[p]
            del stack[begin:]
        at[point] = len(stack)
        stack.append(point)
    kept, seen = [], set()
    for piece in pieces:
        turn = min(tuple(piece[i:] + piece[:i]) for i in range(len(piece)))
        if len(piece) >= 3 and turn not in seen:
            seen.add(turn)
            kept.append(piece)
    return kept


def _cut_repeats(repeats, sizes, loops, surfaces, origin):
    """The faces with those of `repeats` replaced by their simple loops."""
    bounds = np.append(np.cumsum(sizes) - sizes, len(loops))
    parts = [[], [], [], []]
    done = 0  # the faces before this one are placed
    for f in repeats.tolist() + [len(sizes)]:
        # The unchanged faces before f, in one piece.
        for part, values in zip(parts, (sizes[done:f], loops[bounds[done]:bounds[f]],
                                        surfaces[done:f], origin[done:f])):
            part.append(values)
        if f == len(sizes):
            break
        cut = simple_loops(loops[bounds[f]:bounds[f + 1]].tolist())
        for part, values in zip(parts, ([len(p) for p in cut], [v for p in cut for v in p],
                                        [surfaces[f]] * len(cut), [origin[f]] * len(cut))):
            part.append(np.array(values, np.int64))
        done = f + 1
    return tuple(np.concatenate(part) for part in parts)


def mesh_data(received, axes=np.eye(3), names=surface_blocks.decode_name):
    """The MeshData of a trace.Received. `axes`: the 3x3 matrix from the
    right-handed Y-up space to Blender's (the axis choice); `names` turns a
    surface name's bytes into text."""
    m = MeshData()
    transform = np.asarray(axes, np.float64) @ HOST_TO_Y_UP
    m.vertices = (received.points.astype(np.float64) @ transform.T).astype(np.float32)
    mirror = np.linalg.det(transform) < 0

    # Surfaces by the value the host handed out for them.
    m.surfaces = surface_blocks.surfaces_of(received, names)
    # The host keeps the low 16 bits of a surface value.
    face_slot = np.full(1 << 16, -1, np.int64)
    for i, s in enumerate(m.surfaces):
        face_slot[s.value & 0xFFFF] = i

    sizes, values = received.polygon_sizes, received.polygon_surfaces
    starts = received.polygon_starts
    corners = received.corners
    m.without_corners = int(np.count_nonzero(sizes == 0))
    m.single_points = int(np.count_nonzero(sizes == 1))

    # Lines: two-point polygons, each pair once, in either direction.
    lines = np.flatnonzero(sizes == 2)
    pairs = np.stack([corners[starts[lines]], corners[starts[lines] + 1]], axis=1)
    same = pairs[:, 0] == pairs[:, 1]
    m.collapsed_lines = int(np.count_nonzero(same))
    pairs = np.sort(pairs[~same], axis=1)
    m.loose_edges = np.unique(pairs, axis=0) if len(pairs) else np.zeros((0, 2), np.int64)

    # Faces: polygons of three points or more, loops reversed under a mirror.
    faces = np.flatnonzero(sizes >= 3)
    face_sizes = sizes[faces]
    first = np.repeat(starts[faces], face_sizes)
    offset = np.arange(len(first)) - np.repeat(np.cumsum(face_sizes) - face_sizes, face_sizes)
    if mirror:
        offset = np.where(offset == 0, 0, np.repeat(face_sizes, face_sizes) - offset)
    loops = corners[first + offset]
    face_surfaces = face_slot[values[faces] & 0xFFFF]

    # A Blender face may not run through one point twice; such loops (the
    # chaining's answer to a face whose lines run round the same points
    # twice) are cut into the simple loops they are made of.
    span = np.int64(corners.max(initial=0)) + 1
    key = np.sort(np.repeat(np.arange(len(faces), dtype=np.int64), face_sizes) * span + loops)
    repeats = np.unique(key[1:][key[1:] == key[:-1]] // span)
    if len(repeats):
        cut = faces[repeats]
        face_sizes, loops, face_surfaces, faces = _cut_repeats(
            repeats, face_sizes, loops, face_surfaces, faces)
        m.split_polygons = len(cut)
        m.split_faces = int(np.count_nonzero(np.isin(faces, cut)))
    m.face_sizes = face_sizes
    m.face_loops = loops
    m.face_surfaces = face_surfaces
    m.face_origin = faces

    smooth = [s for s in m.surfaces if s.smooth]
    if smooth:
        m.smoothing_angle = effective_angle(smooth[0].angle)
    return m
