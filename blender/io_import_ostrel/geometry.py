# From what the host received to what a Blender mesh is made of: vertices,
# faces, loose edges, each face's surface and each loop's host normal, as
# flat numpy arrays that the mesh takes in bulk. No Blender module is used
# here, so that this runs (and is tested) anywhere numpy does.
#
# The host's space is left-handed, Y up, with clockwise front faces. Turned
# into a right-handed one by negating Z (as the converter's OBJ and glTF
# files are), then by the axis conversion the user picked (by default Y up
# to Blender's Z up, as Blender's own OBJ and glTF importers do). The whole
# map is a mirror, so every loop is reversed as well, keeping its first
# corner first: (p0, pn-1, ..., p1). The front of each face thus stays on the
# side the host showed, and the object lands where the converter's glb lands
# when Blender imports it. The map is a signed permutation of the axes, so
# the host's normals map by the same matrix.
import math

import numpy as np

# The host's space to the right-handed Y-up space of OBJ and glTF.
HOST_TO_Y_UP = np.diag([1.0, 1.0, -1.0])


class MeshData:
    """A Blender mesh in flat arrays, and what did not fit into one."""

    def __init__(self):
        self.vertices = np.zeros((0, 3), np.float32)
        self.face_sizes = np.zeros(0, np.int64)
        self.face_loops = np.zeros(0, np.int64)  # vertex of each loop, face after face
        self.loop_corners = np.zeros(0, np.int64)  # the received corner each loop stands for
        self.face_surfaces = np.zeros(0, np.int64)  # index into `surfaces`
        self.face_origin = np.zeros(0, np.int64)  # received polygon each face comes from
        self.loose_edges = np.zeros((0, 2), np.int64)
        self.loop_normals = None  # the host's normal of each loop (float32), with shading
        self.surfaces = []  # ostrel.Surface, in the order they were looked up
        self.smoothing_angle = None  # radians, as Blender's angle test takes it; None: no smoothing
        self.split_polygons = 0  # polygons running through a point twice, split there
        self.split_faces = 0  # the faces they became

    @property
    def face_starts(self):
        starts = np.zeros(len(self.face_sizes), np.int64)
        np.cumsum(self.face_sizes[:-1], out=starts[1:])
        return starts

    def flat_faces(self):
        """Faces the host shades flat: every loop with the same normal (a
        smooth face whose neighbours all lie beyond the angle is one)."""
        if self.loop_normals is None or not len(self.face_sizes):
            return np.zeros(len(self.face_sizes), bool)
        first = np.repeat(self.loop_normals[self.face_starts], self.face_sizes, axis=0)
        same = np.all(self.loop_normals == first, axis=1)
        return np.logical_and.reduceat(same, self.face_starts)


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


def _cut_repeats(repeats, sizes, loop_corners, points_of, surfaces, origin):
    """The faces with those of `repeats` replaced by their simple loops; each
    piece's loops stand for a corner of its polygon at the same point (the
    host's normal depends on the polygon and the point alone)."""
    bounds = np.append(np.cumsum(sizes) - sizes, len(loop_corners))
    parts = [[], [], [], []]
    done = 0  # the faces before this one are placed
    for f in repeats.tolist() + [len(sizes)]:
        for part, values in zip(parts, (sizes[done:f], loop_corners[bounds[done]:bounds[f]],
                                        surfaces[done:f], origin[done:f])):
            part.append(values)
        if f == len(sizes):
            break
        corners = loop_corners[bounds[f]:bounds[f + 1]].tolist()
        at_point = {}
        for c in corners:
            at_point.setdefault(int(points_of[c]), c)
        cut = simple_loops([int(points_of[c]) for c in corners])
        for part, values in zip(parts, ([len(p) for p in cut], [at_point[v] for p in cut for v in p],
                                        [surfaces[f]] * len(cut), [origin[f]] * len(cut))):
            part.append(np.array(values, np.int64))
        done = f + 1
    return tuple(np.concatenate(part) for part in parts)


def mesh_data(imported, axes=np.eye(3)):
    """The MeshData of an ostrel.Model (loaded with shading). `axes`: the 3x3 matrix from the
    right-handed Y-up space to Blender's (the axis choice)."""
    m = MeshData()
    transform = np.asarray(axes, np.float64) @ HOST_TO_Y_UP
    m.vertices = (imported.points.astype(np.float64) @ transform.T).astype(np.float32)
    mirror = np.linalg.det(transform) < 0
    m.surfaces = imported.surfaces

    sizes = imported.polygon_sizes.astype(np.int64)
    corners = imported.corners
    starts = np.cumsum(sizes) - sizes

    # Lines: two-point polygons, each pair once, in either direction; one
    # running from a point to itself adds nothing.
    lines = np.flatnonzero(sizes == 2)
    pairs = np.stack([corners[starts[lines]], corners[starts[lines] + 1]], axis=1).astype(np.int64)
    pairs = np.sort(pairs[pairs[:, 0] != pairs[:, 1]], axis=1)
    m.loose_edges = np.unique(pairs, axis=0) if len(pairs) else np.zeros((0, 2), np.int64)

    # Faces: polygons of three points or more, loops reversed under a mirror.
    faces = np.flatnonzero(sizes >= 3)
    face_sizes = sizes[faces]
    first = np.repeat(starts[faces], face_sizes)
    offset = np.arange(len(first)) - np.repeat(np.cumsum(face_sizes) - face_sizes, face_sizes)
    if mirror:
        offset = np.where(offset == 0, 0, np.repeat(face_sizes, face_sizes) - offset)
    loop_corners = first + offset
    loops = corners[loop_corners].astype(np.int64)
    face_surfaces = imported.polygon_surfaces[faces].astype(np.int64)

    # A Blender face may not run through one point twice; such loops (the
    # chaining's answer to a face whose lines run round the same points
    # twice) are cut into the simple loops they are made of.
    span = np.int64(len(m.vertices)) + 1
    key = np.sort(np.repeat(np.arange(len(faces), dtype=np.int64), face_sizes) * span + loops)
    repeats = np.unique(key[1:][key[1:] == key[:-1]] // span)
    if len(repeats):
        cut = faces[repeats]
        face_sizes, loop_corners, face_surfaces, faces = _cut_repeats(
            repeats, face_sizes, loop_corners, corners, face_surfaces, faces)
        loops = corners[loop_corners].astype(np.int64)
        m.split_polygons = len(cut)
        m.split_faces = int(np.count_nonzero(np.isin(faces, cut)))
    m.face_sizes = face_sizes
    m.face_loops = loops
    m.loop_corners = loop_corners
    m.face_surfaces = face_surfaces
    m.face_origin = faces
    if imported.corner_normals is not None:
        normals = imported.corner_normals[loop_corners].astype(np.float64) @ transform.T
        m.loop_normals = normals.astype(np.float32)

    smooth = [s for s in m.surfaces if s.smooth]
    if smooth:
        m.smoothing_angle = effective_angle(smooth[0].smoothing_angle)
    return m
