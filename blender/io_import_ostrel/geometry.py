# From what the engine hands over to what a Blender mesh is made of. The
# engine lays the object out as Blender keeps a mesh (ostrel.EdgeMesh: faces,
# every edge once, each corner's edge, the host's shading as flat faces and
# sharp edges, in Blender's types) and in the right-handed convention of the
# converter's OBJ and glTF files (Z negated, loops reversed), so the front of
# each face stays on the side the host showed and the object lands where the
# converter's glb lands when Blender imports it. Left to do here is the axis
# conversion the user picked (by default Y up to Blender's Z up, as Blender's
# own OBJ and glTF importers do): a rotation, applied to the points and to
# the host's normals alike. No Blender module is used here.
import numpy as np


def rotated(xyz, axes):
    """(N, 3) float32 coordinates turned by the 3x3 rotation `axes`. The axis
    choices make a signed permutation of the axes: then each output axis is
    an input axis, perhaps negated, exactly and without a matrix product."""
    axes = np.asarray(axes, np.float64)
    source = np.abs(axes).argmax(axis=1)
    signs = axes[np.arange(3), source]
    if not np.array_equal(np.abs(axes), np.eye(3)[source]):
        return (np.asarray(xyz, np.float64) @ axes.T).astype(np.float32)
    out = np.take(np.asarray(xyz, np.float32), source, axis=1)  # a copy, row after row
    out *= signs.astype(np.float32)
    return out


class ObjectArrays:
    """A Blender mesh in flat arrays (views of the engine's memory where
    they need no change), and what did not fit into one Blender face."""

    def __init__(self, model, axes=np.eye(3)):
        """From an ostrel.Model loaded right-handed with its edge mesh;
        `axes`: the rotation from the right-handed Y-up space to Blender's."""
        mesh = model.edge_mesh
        self.vertices = rotated(model.points, axes)
        self.edges = mesh.edge_points  # (E, 2) int32
        self.edge_sharp = mesh.edge_sharp  # bool per edge
        self.face_starts = mesh.face_starts  # int32 per face
        self.face_sizes = mesh.face_sizes
        self.face_surfaces = mesh.face_surfaces  # index into `surfaces`
        self.face_flat = mesh.face_flat  # bool per face: the host shades it flat
        self.corner_points = mesh.corner_points  # int32 per loop
        self.corner_edges = mesh.corner_edges
        self.surfaces = model.surfaces  # ostrel.Surface, in the order they were looked up
        self.materials = model.materials  # ostrel.Material of each
        self.smoothing_angle = mesh.smoothing_angle  # radians; None: every face flat
        self.split_polygons = mesh.split_polygons  # polygons through a point twice, cut
        self.split_faces = mesh.split_faces  # the faces they became
        self._normals, self._axes = mesh.corner_normals, axes

    def loop_normals(self):
        """The host's normal of each loop, in Blender's space."""
        return rotated(self._normals, self._axes)
