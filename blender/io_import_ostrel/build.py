# Blender's objects from a geometry.ObjectArrays: the mesh filled array by array
# with bulk calls (foreach_set) from what the engine laid out, one material
# per surface from the engine's, and the host's smoothing in Blender's own
# terms, so that each version shows it as the host does and it stays right
# when the mesh is edited: faces the host shades flat are flat, the others
# smooth, the edges where its shading breaks (beyond the smoothing angle,
# between surfaces) sharp. Nothing is read back or worked out here. Where
# Blender's API changed, one path per API, picked by what the mesh offers:
#   - the mesh's arrays: its attributes where it keeps them so (3.6 on),
#     else the collections' properties;
#   - auto smooth (3.x): the mesh's angle, flags on polygons and edges, and
#     custom normals only with auto smooth on;
#   - attributes (4.1 on): `sharp_face` and `sharp_edge`, custom normals on
#     their own; where Blender takes them (4.5 on), as a float
#     `custom_normal` corner attribute, filled in one call, rather than
#     through normals_split_custom_set, which reads its argument one Python
#     number at a time.
import gc

import bpy
import numpy as np


def _input(node, *names):
    for name in names:
        socket = node.inputs.get(name)
        if socket is not None:
            return socket
    return None


def make_material(name, values):
    """A material from the engine's (ostrel.Material: the rule the converter's
    glb and the web page show a surface by, in the Principled BSDF's terms)."""
    material = bpy.data.materials.new(name)
    material.diffuse_color = (*values.base_colour, values.alpha)
    material.specular_intensity = values.specular
    material.roughness = values.roughness
    material.metallic = values.metallic
    # The host shows single-sided surfaces from the front only.
    material.use_backface_culling = not values.double_sided
    if hasattr(material, "use_nodes") and not material.use_nodes:
        material.use_nodes = True
    bsdf = next(n for n in material.node_tree.nodes if n.type == "BSDF_PRINCIPLED")
    bsdf.inputs["Base Color"].default_value = (*values.base_colour, 1.0)
    _input(bsdf, "Specular", "Specular IOR Level").default_value = values.specular
    bsdf.inputs["Roughness"].default_value = values.roughness
    bsdf.inputs["Metallic"].default_value = values.metallic
    if values.blend:
        bsdf.inputs["Alpha"].default_value = values.alpha
        if hasattr(material, "blend_method"):
            material.blend_method = "BLEND"
    return material


def _attribute(mesh, name, data_type, domain, values):
    attribute = mesh.attributes.get(name) or mesh.attributes.new(name, data_type, domain)
    attribute.data.foreach_set("vector" if data_type == "FLOAT_VECTOR" else "value", values)


def _put(mesh, attribute, collection, prop, values):
    """One array into the mesh: into the attribute Blender keeps it in where
    there is one (3.6 on: `position`, `.edge_verts`, `.corner_vert`,
    `.corner_edge`), in one copy, else through the collection's property
    (which newer versions copy item by item)."""
    if mesh.attributes.get(attribute) is not None:
        _attribute(mesh, attribute, mesh.attributes[attribute].data_type, None, values)
    else:
        collection.foreach_set(prop, values)


def _fill(mesh, data):
    """The mesh as the engine laid it out: points, edges (lines among them,
    a line on a face's edge being that edge), loops naming their edges,
    faces; nothing for Blender to work out."""
    mesh.vertices.add(len(data.vertices))
    mesh.edges.add(len(data.edges))
    mesh.loops.add(len(data.corner_points))
    mesh.polygons.add(len(data.face_starts))
    _put(mesh, "position", mesh.vertices, "co", data.vertices.ravel())
    _put(mesh, ".edge_verts", mesh.edges, "vertices", data.edges.ravel())
    _put(mesh, ".corner_vert", mesh.loops, "vertex_index", data.corner_points)
    _put(mesh, ".corner_edge", mesh.loops, "edge_index", data.corner_edges)
    mesh.polygons.foreach_set("loop_start", data.face_starts)
    # From 4.0 a polygon's size follows from the next polygon's start.
    if not bpy.types.MeshPolygon.bl_rna.properties["loop_total"].is_readonly:
        mesh.polygons.foreach_set("loop_total", data.face_sizes)
    if mesh.attributes.get(".corner_vert") is not None:
        _attribute(mesh, "material_index", "INT", "FACE", data.face_surfaces)
    else:
        mesh.polygons.foreach_set("material_index", data.face_surfaces)
    try:
        mesh.update(calc_edges_loose=True)  # 3.x flags the loose edges here
    except TypeError:  # versions that find them by themselves
        mesh.update()


def _set_custom_normals(mesh, normals):
    """normals_split_custom_set reads its argument one number at a time: it
    takes nested lists fastest (half again faster than a numpy array), and
    the interpreter's collector, which would run again and again as the
    lists are made, is held off meanwhile."""
    collecting = gc.isenabled()
    gc.disable()
    try:
        mesh.normals_split_custom_set(normals.tolist())
    finally:
        if collecting:
            gc.enable()


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


def _smooth_auto(mesh, data, host_normals):
    """Blender 3.x: the angle on the mesh (auto smooth), flags on polygons
    and edges; custom normals need auto smooth on."""
    if data.smoothing_angle is not None:
        mesh.use_auto_smooth = True
        mesh.auto_smooth_angle = data.smoothing_angle
    mesh.polygons.foreach_set("use_smooth", ~data.face_flat)
    mesh.edges.foreach_set("use_edge_sharp", data.edge_sharp)
    if host_normals:
        if not mesh.use_auto_smooth:
            mesh.use_auto_smooth = True
            mesh.auto_smooth_angle = np.pi
        _set_custom_normals(mesh, data.loop_normals())


def _smooth_attributes(mesh, data, host_normals):
    """Blender 4.1 on: flat faces are `sharp_face`, the edges where the
    shading breaks (beyond the angle, between surfaces) `sharp_edge`."""
    _attribute(mesh, "sharp_face", "BOOLEAN", "FACE", data.face_flat)
    _attribute(mesh, "sharp_edge", "BOOLEAN", "EDGE", data.edge_sharp)
    if host_normals and _takes_free_normals():
        _attribute(mesh, "custom_normal", "FLOAT_VECTOR", "CORNER", data.loop_normals().ravel())
    elif host_normals:
        _set_custom_normals(mesh, data.loop_normals())


def build_mesh(name, data, host_normals=False):
    """A new mesh named `name` from `data` (geometry.ObjectArrays). With
    `host_normals` the loops also get the host's normals as custom normals
    (exact, but fixed: they no longer follow edits)."""
    mesh = bpy.data.meshes.new(name)
    _fill(mesh, data)
    for surface, values in zip(data.surfaces, data.materials):
        mesh.materials.append(make_material(surface.name, values))
    host_normals = host_normals and len(data.face_starts) > 0
    if hasattr(mesh, "use_auto_smooth"):
        _smooth_auto(mesh, data, host_normals)
    else:
        _smooth_attributes(mesh, data, host_normals)
    mesh.update()
    return mesh
