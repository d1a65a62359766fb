# The normals the host shades with, per face corner, for the option that
# stores them as custom normals. The host's rule works on corners, not on
# edges: a polygon's normal is the unit Newell normal of its whole loop; on a
# surface with smoothing on, the normal at a corner is the normalised sum of
# the normals of the polygons of the same surface that use the corner's point
# and lie within the smoothing angle of the corner's own polygon (itself
# included), each polygon counted once and unweighted; otherwise, and where
# the sum cancels, the corner takes its polygon's normal. A polygon that
# encloses no area adds to no sum, and its corners point up.
#
# Computed on the mesh as built (vertices and loops already in Blender's
# space): the map from the host's space is a signed permutation of the axes,
# so angles, sums and lengths come out as in the host's own space.
import numpy as np

# Past this many (corner, polygon at its point) pairs the work is refused:
# a point shared by very many polygons makes it quadratic.
MAX_PAIRS = 40_000_000


class TooManyPairs(RuntimeError):
    pass


def _neighbours(sizes):
    """Per loop of faces of `sizes` loops, the loop after it and the loop
    before it in its face."""
    starts = np.cumsum(sizes) - sizes
    count = int(np.sum(sizes))
    following, preceding = np.arange(1, count + 1), np.arange(-1, count - 1)
    following[starts + sizes - 1] = starts
    preceding[starts] = starts + sizes - 1
    return following, preceding


def newell_sums(vertices, sizes, loops):
    """Each face's Newell normal (float64, twice its vector area), summed over
    the fan from its first corner, as the converter sums it."""
    v = vertices.astype(np.float64)
    if not len(sizes):
        return np.zeros((0, 3))
    starts = np.cumsum(sizes) - sizes
    following, _ = _neighbours(sizes)
    origin = np.repeat(v[loops[starts]], sizes, axis=0)
    cross = np.cross(v[loops] - origin, v[loops[following]] - origin)
    return np.add.reduceat(cross, starts, axis=0)


def face_normals(vertices, sizes, loops):
    """Unit Newell normals (float64) of the faces and whether each encloses
    an area."""
    total = newell_sums(vertices, sizes, loops)
    length = np.sqrt(np.einsum("ij,ij->i", total, total))
    area = np.isfinite(length) & (length > 0)
    unit = np.zeros_like(total)
    unit[area] = total[area] / length[area, None]
    return unit, area


def corner_angles(vertices, sizes, loops):
    """The angle of each loop's corner, between its two edges."""
    v = vertices.astype(np.float64)
    following, preceding = _neighbours(sizes)
    a, b = v[loops[following]] - v[loops], v[loops[preceding]] - v[loops]
    cosine = np.einsum("ij,ij->i", a, b) / np.sqrt(
        np.einsum("ij,ij->i", a, a) * np.einsum("ij,ij->i", b, b))
    return np.arccos(np.clip(np.nan_to_num(cosine), -1.0, 1.0))


def corner_normals(mesh, up, weighted_by_angle=False):
    """Unit normals (float32, one row per loop of `mesh`, a geometry.MeshData)
    as the host shades them; `up`: the host's +Y in the mesh's space.
    `weighted_by_angle` weighs each polygon by its corner's angle at the
    point, as Blender does within a smooth fan (for comparing the rules)."""
    sizes, loops, surfaces = mesh.face_sizes, mesh.face_loops, mesh.face_surfaces
    unit, area = face_normals(mesh.vertices, sizes, loops)
    owner = np.repeat(np.arange(len(sizes)), sizes)
    smooth_surface = np.array([s.smooth for s in mesh.surfaces] + [False], bool)
    threshold = np.cos(np.array([s.angle for s in mesh.surfaces] + [0.0], np.float64))
    smooth = area & smooth_surface[surfaces]

    flat = np.where(area[:, None], unit, np.asarray(up, np.float64))
    result = flat[owner].copy()
    if not smooth.any():
        return result.astype(np.float32)

    # The smooth polygons at each point, each once, sorted by point.
    face_count = np.int64(len(sizes))
    in_smooth = smooth[owner]
    uses, first = np.unique(loops[in_smooth] * face_count + owner[in_smooth], return_index=True)
    use_point, use_face = uses // face_count, uses % face_count
    per_point = np.bincount(use_point, minlength=len(mesh.vertices))
    first_use = np.cumsum(per_point) - per_point

    # Each corner of a smooth polygon against every smooth polygon at its point.
    corners = np.flatnonzero(in_smooth)
    repeat = per_point[loops[corners]]
    if repeat.sum() > MAX_PAIRS:
        raise TooManyPairs(int(repeat.sum()))
    corner = np.repeat(corners, repeat)
    step = np.arange(len(corner)) - np.repeat(np.cumsum(repeat) - repeat, repeat)
    use = first_use[loops[corner]] + step
    other = use_face[use]
    own = owner[corner]
    near = np.einsum("ij,ij->i", unit[other], unit[own]) >= threshold[surfaces[own]]
    take = (surfaces[other] == surfaces[own]) & ((other == own) | near)
    corner, other = corner[take], other[take]
    weight = np.ones(len(corner))
    if weighted_by_angle:
        weight = corner_angles(mesh.vertices, sizes, loops)[np.flatnonzero(in_smooth)[first]][use[take]]
    total = np.stack(
        [np.bincount(corner, unit[other, k] * weight, minlength=len(loops)) for k in range(3)], axis=1)
    length = np.sqrt(np.einsum("ij,ij->i", total, total))
    summed = in_smooth & (length > 0)
    result[summed] = total[summed] / length[summed, None]
    return result.astype(np.float32)
