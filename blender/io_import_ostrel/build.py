# Blender's objects from a geometry.MeshData: the mesh filled with bulk array
# calls (foreach_set), one material per surface, smoothing by Blender's own
# means (smooth faces, the angle, sharp edges where surfaces meet), so that it
# stays right when the mesh is edited.
import bpy
import numpy as np

from . import normals as host_normals

# Blender 4.1 replaced the mesh's auto smooth by sharp edges set from the angle.
HAS_AUTO_SMOOTH = bpy.app.version < (4, 1, 0)
# From Blender 4.0 a polygon's size follows from the next polygon's start.
SETS_LOOP_TOTAL = bpy.app.version < (4, 0, 0)


def srgb_to_linear(c):
    return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4


def material_values(surface):
    """How a surface's block maps onto the Principled BSDF: base colour = the
    block's colour (sRGB bytes) made linear, times the diffuse level; specular
    = the specular level (256 = 1.0); roughness = 1 - glossiness (256 = 1.0,
    so glossiness 0 is the broadest, faintest highlight); alpha = 1 -
    transparency; metallic 0."""
    base = [min(1.0, srgb_to_linear(c / 255.0) * surface.diffuse) for c in surface.colour]
    clamp = lambda x: max(0.0, min(1.0, x))  # noqa: E731
    return {
        "base": base,
        "specular": clamp(surface.specular),
        "roughness": clamp(1.0 - surface.glossiness),
        "alpha": clamp(1.0 - surface.transparency),
    }


def _input(node, *names):
    for name in names:
        socket = node.inputs.get(name)
        if socket is not None:
            return socket
    return None


def make_material(surface):
    values = material_values(surface)
    material = bpy.data.materials.new(surface.name)
    material.diffuse_color = (*values["base"], values["alpha"])
    material.specular_intensity = values["specular"]
    material.roughness = values["roughness"]
    material.metallic = 0.0
    # The host shows single-sided surfaces from the front only.
    material.use_backface_culling = not surface.double_sided
    material.use_nodes = True
    bsdf = next(n for n in material.node_tree.nodes if n.type == "BSDF_PRINCIPLED")
    bsdf.inputs["Base Color"].default_value = (*values["base"], 1.0)
    _input(bsdf, "Specular", "Specular IOR Level").default_value = values["specular"]
    bsdf.inputs["Roughness"].default_value = values["roughness"]
    bsdf.inputs["Metallic"].default_value = 0.0
    if values["alpha"] < 1.0:
        bsdf.inputs["Alpha"].default_value = values["alpha"]
        if hasattr(material, "blend_method"):
            material.blend_method = "BLEND"
    return material


def _sharp_between_surfaces(mesh, face_surfaces):
    """Edges whose faces belong to more than one surface."""
    edge_of_loop = np.empty(len(mesh.loops), np.int32)
    mesh.loops.foreach_get("edge_index", edge_of_loop)
    sizes = np.empty(len(mesh.polygons), np.int32)
    mesh.polygons.foreach_get("loop_total", sizes)
    surface_of_loop = np.repeat(face_surfaces, sizes)
    order = np.argsort(edge_of_loop, kind="stable")
    edge, surface = edge_of_loop[order], surface_of_loop[order]
    meet = (edge[1:] == edge[:-1]) & (surface[1:] != surface[:-1])
    sharp = np.zeros(len(mesh.edges), bool)
    sharp[edge[1:][meet]] = True
    return sharp


def build_mesh(name, data, host_corner_normals=False, up=(0.0, 0.0, 1.0)):
    """A new mesh named `name` from `data` (geometry.MeshData). With
    `host_corner_normals` the corners also get the host's normals as custom
    normals (exact, but fixed: they no longer follow edits)."""
    mesh = bpy.data.meshes.new(name)
    mesh.vertices.add(len(data.vertices))
    mesh.vertices.foreach_set("co", data.vertices.ravel())
    # Lines first: the edges the faces need are added to them, a line on a
    # face's edge becoming that edge.
    mesh.edges.add(len(data.loose_edges))
    mesh.edges.foreach_set("vertices", data.loose_edges.astype(np.int32).ravel())
    mesh.loops.add(len(data.face_loops))
    mesh.loops.foreach_set("vertex_index", data.face_loops.astype(np.int32))
    mesh.polygons.add(len(data.face_sizes))
    mesh.polygons.foreach_set("loop_start", data.face_starts.astype(np.int32))
    if SETS_LOOP_TOTAL:
        mesh.polygons.foreach_set("loop_total", data.face_sizes.astype(np.int32))
    mesh.polygons.foreach_set("material_index", data.face_surfaces.astype(np.int32))
    try:
        mesh.update(calc_edges=True, calc_edges_loose=True)
    except TypeError:  # versions that find loose edges by themselves
        mesh.update(calc_edges=True)

    for surface in data.surfaces:
        mesh.materials.append(make_material(surface))

    smooth_surface = np.array([s.smooth for s in data.surfaces] + [False], bool)
    smooth = smooth_surface[data.face_surfaces]
    sharp = _sharp_between_surfaces(mesh, data.face_surfaces)
    if data.smoothing_angle is not None and smooth.any():
        if HAS_AUTO_SMOOTH:
            mesh.use_auto_smooth = True
            mesh.auto_smooth_angle = data.smoothing_angle
        else:
            # Resets every edge's sharpness (and, in some versions, every
            # face's smoothing), so it comes first.
            mesh.set_sharp_from_angle(angle=data.smoothing_angle)
            by_angle = np.empty(len(mesh.edges), bool)
            mesh.edges.foreach_get("use_edge_sharp", by_angle)
            sharp |= by_angle
    mesh.polygons.foreach_set("use_smooth", smooth)
    mesh.edges.foreach_set("use_edge_sharp", sharp)

    if host_corner_normals and len(data.face_loops):
        corner = host_normals.corner_normals(data, up)
        if HAS_AUTO_SMOOTH:
            mesh.use_auto_smooth = True
            if data.smoothing_angle is None:
                mesh.auto_smooth_angle = 0.0
        mesh.normals_split_custom_set(corner)
    mesh.update()
    return mesh
