# Blender's objects from a geometry.MeshData: the mesh filled with bulk array
# calls (foreach_set), one material per surface, and the host's smoothing in
# Blender's own terms, so that each version shows it as the host does and it
# stays right when the mesh is edited: faces the host shades flat are flat,
# the others smooth, edges beyond the smoothing angle and between surfaces
# sharp. Where Blender's API changed, one path per API, picked by what the
# mesh offers:
#   - auto smooth (3.x): the mesh's angle, flags on polygons and edges, and
#     custom normals only with auto smooth on;
#   - attributes (4.1 on): `sharp_face` and `sharp_edge`, the angle marked
#     by set_sharp_from_angle, custom normals on their own; where Blender
#     takes them (4.5 on), as a float `custom_normal` corner attribute,
#     filled in one call, rather than through normals_split_custom_set,
#     which reads its argument one Python number at a time.
import bpy
import numpy as np


def srgb_to_linear(c):
    return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4


def material_values(surface):
    """How a surface's block maps onto the Principled BSDF: base colour = the
    block's colour (sRGB bytes) made linear, times the diffuse level; specular
    = the specular level; roughness = 1 - glossiness (glossiness 0 is the
    broadest, faintest highlight); alpha = 1 - transparency; metallic 0."""
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
    if hasattr(material, "use_nodes") and not material.use_nodes:
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


def _sharp_between_surfaces(mesh, data):
    """Edges whose faces belong to more than one surface: where the
    surfaces at an edge vary (n * sum(s^2) > sum(s)^2), counted in one pass."""
    edges = len(mesh.edges)
    if len(np.unique(data.face_surfaces)) < 2:
        return np.zeros(edges, bool)
    edge_of_loop = np.empty(len(mesh.loops), np.int32)
    mesh.loops.foreach_get("edge_index", edge_of_loop)
    surface = np.repeat(data.face_surfaces.astype(np.float64), data.face_sizes)
    n = np.bincount(edge_of_loop, minlength=edges).astype(np.float64)
    s1 = np.bincount(edge_of_loop, surface, minlength=edges)
    s2 = np.bincount(edge_of_loop, surface * surface, minlength=edges)
    return n * s2 > s1 * s1


def _fill(mesh, data):
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
    # From 4.0 a polygon's size follows from the next polygon's start.
    if not bpy.types.MeshPolygon.bl_rna.properties["loop_total"].is_readonly:
        mesh.polygons.foreach_set("loop_total", data.face_sizes.astype(np.int32))
    mesh.polygons.foreach_set("material_index", data.face_surfaces.astype(np.int32))
    try:
        mesh.update(calc_edges=True, calc_edges_loose=True)
    except TypeError:  # versions that find loose edges by themselves
        mesh.update(calc_edges=True)


def _attribute(mesh, name, domain, values):
    attribute = mesh.attributes.get(name) or mesh.attributes.new(name, "BOOLEAN", domain)
    attribute.data.foreach_set("value", values)


def _as_tuples(normals):
    """normals_split_custom_set takes tuples far faster than a numpy array."""
    return list(map(tuple, normals.tolist()))


_free_normals = None  # whether a float `custom_normal` attribute sets the normals


def _takes_free_normals():
    """Asked once, of a triangle: does a float `custom_normal` attribute on
    the corners become the mesh's normals?"""
    global _free_normals
    if _free_normals is None:
        probe = bpy.data.meshes.new("ostrel normals probe")
        try:
            probe.from_pydata([(0, 0, 0), (1, 0, 0), (0, 1, 0)], [], [(0, 1, 2)])
            attribute = probe.attributes.new("custom_normal", "FLOAT_VECTOR", "CORNER")
            attribute.data.foreach_set("vector", [0.6, 0.0, 0.8] * 3)
            got = [0.0] * 9
            probe.corner_normals.foreach_get("vector", got)
            _free_normals = abs(got[0] - 0.6) < 1e-3 and abs(got[2] - 0.8) < 1e-3
        except (AttributeError, RuntimeError, TypeError):
            _free_normals = False
        finally:
            bpy.data.meshes.remove(probe)
    return _free_normals


def _smooth_auto(mesh, data, smooth, sharp, host_normals):
    """Blender 3.x: the angle on the mesh (auto smooth), flags on polygons
    and edges; custom normals need auto smooth on."""
    if data.smoothing_angle is not None and smooth.any():
        mesh.use_auto_smooth = True
        mesh.auto_smooth_angle = data.smoothing_angle
    mesh.polygons.foreach_set("use_smooth", smooth)
    mesh.edges.foreach_set("use_edge_sharp", sharp)
    if host_normals:
        if not mesh.use_auto_smooth:
            mesh.use_auto_smooth = True
            mesh.auto_smooth_angle = np.pi
        mesh.normals_split_custom_set(_as_tuples(data.loop_normals))


def _smooth_attributes(mesh, data, smooth, sharp, host_normals):
    """Blender 4.1 on: the angle marks sharp edges (set_sharp_from_angle
    resets every edge's sharpness, and in some versions the faces'
    smoothing, so it comes first); flat faces are `sharp_face`."""
    if data.smoothing_angle is not None and smooth.any():
        mesh.set_sharp_from_angle(angle=data.smoothing_angle)
        by_angle = np.zeros(len(mesh.edges), bool)
        if "sharp_edge" in mesh.attributes:
            mesh.attributes["sharp_edge"].data.foreach_get("value", by_angle)
        sharp = sharp | by_angle
    _attribute(mesh, "sharp_face", "FACE", ~smooth)
    _attribute(mesh, "sharp_edge", "EDGE", sharp)
    if host_normals and _takes_free_normals():
        attribute = mesh.attributes.new("custom_normal", "FLOAT_VECTOR", "CORNER")
        attribute.data.foreach_set("vector", data.loop_normals.ravel())
    elif host_normals:
        mesh.normals_split_custom_set(_as_tuples(data.loop_normals))


def build_mesh(name, data, host_normals=False):
    """A new mesh named `name` from `data` (geometry.MeshData). With
    `host_normals` the loops also get the host's normals as custom normals
    (exact, but fixed: they no longer follow edits)."""
    mesh = bpy.data.meshes.new(name)
    _fill(mesh, data)
    for surface in data.surfaces:
        mesh.materials.append(make_material(surface))

    smooth_surface = np.array([s.smooth for s in data.surfaces] + [False], bool)
    smooth = smooth_surface[data.face_surfaces] & ~data.flat_faces()
    sharp = _sharp_between_surfaces(mesh, data)
    host_normals = host_normals and data.loop_normals is not None and len(data.face_loops) > 0
    if hasattr(mesh, "use_auto_smooth"):
        _smooth_auto(mesh, data, smooth, sharp, host_normals)
    else:
        _smooth_attributes(mesh, data, smooth, sharp, host_normals)
    mesh.update()
    return mesh
