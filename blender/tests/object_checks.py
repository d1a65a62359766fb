# What Blender shows of an imported model, held against what the reference
# converter says the host received: its trace (points, polygons, loose
# edges, surfaces and blocks), its OBJ (the normals the host shades with,
# corner by corner) and its glb as Blender's glTF importer places it (world
# positions, front sides, materials). The checks count here: `checks` and
# `failures`, one line printed per check that fails. Used by check_addon.py,
# inside Blender.
import os
import re

import bpy
import numpy as np
from blender_helpers import base_colour, expected_colour, read_trace

VERSION = ".".join(str(v) for v in bpy.app.version[:2])
failures = 0
checks = 0


def check(ok, what):
    global failures, checks
    checks += 1
    if not ok:
        failures += 1
        print(f"FAILED: Blender {VERSION}: {what}")
    return ok


def mesh_array(collection, attribute, width, dtype=np.float32):
    values = np.empty(len(collection) * width, dtype)
    collection.foreach_get(attribute, values)
    return values.reshape(-1, width) if width > 1 else values


def loop_normals(mesh):
    """The normal Blender shades each loop with."""
    if hasattr(mesh, "corner_normals"):  # 4.1 on
        return mesh_array(mesh.corner_normals, "vector", 3).astype(np.float64)
    mesh.calc_normals_split()
    return mesh_array(mesh.loops, "normal", 3).astype(np.float64)


def newell_sums(v, sizes, loops):
    """Each face's Newell normal (twice its vector area), summed over the fan
    from its first corner."""
    if not len(sizes):
        return np.zeros((0, 3))
    starts = np.cumsum(sizes) - sizes
    following = np.arange(1, len(loops) + 1)
    following[starts + sizes - 1] = starts
    origin = np.repeat(v[loops[starts]], sizes, axis=0)
    cross = np.cross(v[loops] - origin, v[loops[following]] - origin)
    return np.add.reduceat(cross, starts, axis=0)


def to_blender(xyz):
    """The host's space (and, with Z negated, that of OBJ and glTF) in Blender's."""
    xyz = np.asarray(xyz, np.float64).reshape(-1, 3)
    return np.stack([xyz[:, 0], xyz[:, 2], xyz[:, 1]], axis=1)


def obj_normals(path):
    """The normal of every face corner the OBJ names, in Blender's space."""
    vn, corners = [], []
    for line in open(path, encoding="utf-8"):
        if line.startswith("vn "):
            vn.append([float(x) for x in line.split()[1:4]])
        elif line.startswith("f "):
            corners += [int(c.split("//")[1]) - 1 for c in line.split()[1:]]
    n = np.array(vn, np.float64).reshape(-1, 3)[corners]
    return np.stack([n[:, 0], -n[:, 2], n[:, 1]], axis=1)


def decode_name(raw):
    try:
        return raw.decode("utf-8")
    except UnicodeDecodeError:
        return raw.decode("cp932", errors="backslashreplace")


def expected_names(calls):
    """Surface names in the order of their values, as text."""
    ordered = sorted(calls.values.items(), key=lambda item: item[1])
    return [decode_name(name.encode("latin-1").decode("unicode_escape").encode("latin-1"))
            for name, _ in ordered]


def check_model(model, stem, obj, what, mode="SMOOTH", exact_smoothing=True):
    """What Blender shows for one imported model against the reference's files."""
    calls = read_trace(stem + ".trace")
    mesh = obj.data
    name = os.path.splitext(os.path.basename(model))[0]
    check(obj.name == name and mesh.name == name, f"{what}: object {obj.name}, expected {name}")

    # Points: all of them, where the host put them (Y and Z trade places).
    positions = mesh_array(mesh.vertices, "co", 3)
    want = to_blender(calls.points)
    check(len(positions) == len(want) and np.array_equal(positions, want.astype(np.float32)),
          f"{what}: {len(positions)} vertices, expected the {len(want)} points where the host put them")
    # The engine's layout (edges, each loop's edge) as Blender would make it.
    check(not mesh.validate(verbose=False), f"{what}: the mesh as made is not valid")

    # Polygons kept whole, lines as loose edges (a line on a face's edge is that edge).
    faces = [(v, p) for v, p in calls.polygons if len(p) >= 3]
    check(len(mesh.polygons) == len(faces), f"{what}: {len(mesh.polygons)} faces, expected {len(faces)}")
    sizes = mesh_array(mesh.polygons, "loop_total", 1, np.int32)
    check(sizes.tolist() == [len(p) for _, p in faces], f"{what}: face sizes differ from the polygons'")
    loops = mesh_array(mesh.loops, "vertex_index", 1, np.int32)
    wanted_loops = [q for _, p in faces for q in [p[0]] + p[:0:-1]]
    check(loops.tolist() == wanted_loops, f"{what}: loops are not the polygons' reversed")
    face_edges = {tuple(sorted((p[i], p[(i + 1) % len(p)]))) for _, p in faces for i in range(len(p))}
    lines = {tuple(sorted(p)) for _, p in calls.polygons if len(p) == 2 and p[0] != p[1]}
    loose = int(mesh_array(mesh.edges, "is_loose", 1, bool).sum())
    check(loose == len(lines - face_edges), f"{what}: {loose} loose edges, expected {len(lines - face_edges)}")

    # Materials: one per surface, in order, named as the surface, from its block.
    names = expected_names(calls)
    got = [m.name for m in mesh.materials]
    check(got == names, f"{what}: materials {got}, expected {names}")
    by_value = {v: i for i, v in enumerate(sorted(calls.values.values()))}
    blocks = {by_value[calls.values[n]]: b for n, b in calls.blocks.items() if n in calls.values}
    slots = mesh_array(mesh.polygons, "material_index", 1, np.int32)
    check(slots.tolist() == [by_value[v] for v, _ in faces], f"{what}: faces on the wrong materials")
    for slot, material in enumerate(mesh.materials):
        block = blocks.get(slot)
        flags = block[16] << 8 | block[17] if block else 0
        colour = expected_colour(block, linear=True) if block else [(200 / 255 + 0.055) / 1.055] * 3
        if not block:
            colour = [c ** 2.4 for c in colour]
        check(np.allclose(base_colour(material), colour, atol=1e-6),
              f"{what}: {material.name} colour {base_colour(material)}, expected {colour}")
        check(material.use_backface_culling == (not flags & 0x100),
              f"{what}: {material.name} culling {material.use_backface_culling} for flags {flags:#x}")
        if block:
            specular = (block[50] << 8 | block[51]) / 256
            bsdf = material.node_tree.nodes["Principled BSDF"]
            socket = bsdf.inputs.get("Specular") or bsdf.inputs.get("Specular IOR Level")
            check(abs(socket.default_value - specular) < 1e-6,
                  f"{what}: {material.name} specular {socket.default_value}, expected {specular}")

    # Normals: Blender's, corner by corner, against those the OBJ carries.
    if len(faces):
        normals = loop_normals(mesh)
        written = obj_normals(stem + ".obj")
        apart = np.linalg.norm(normals - written, axis=1)
        if mode == "HOST" or exact_smoothing:
            # Custom normals are stored in 16-bit angles: a few hundredths of
            # a degree off.
            limit = 2e-3 if mode == "HOST" else 1e-4
            check(apart.max() < limit, f"{what}: {int((apart >= limit).sum())} of {len(apart)} "
                                       f"corners off the host's normals, by up to {apart.max():.2g}")
        else:
            degrees = float(np.degrees(2 * np.arcsin(min(1.0, apart.max() / 2))))
            print(f"smoothing: Blender {VERSION}: {what}: {len(apart)} corners, "
                  f"{int((apart <= 1e-4).sum())} as the host, the others by up to {degrees:.1f} deg")

    # Placement: the converter's glb as Blender's glTF importer puts it.
    check_against_glb(stem + ".glb", obj, faces, by_value, what)


def same_shader(ours, theirs):
    """The same base colour and roughness in both materials' shaders."""
    a, b = (m.node_tree.nodes["Principled BSDF"].inputs for m in (ours, theirs))
    return all(np.allclose(a[k].default_value[:], b[k].default_value[:], atol=1e-6) if k == "Base Color"
               else abs(a[k].default_value - b[k].default_value) < 1e-6 for k in ("Base Color", "Roughness"))


def check_against_glb(path, obj, faces, by_value, what):
    """Same world positions and front sides as the converter's glb in Blender:
    each face's vector area equals the sum of its triangles' there."""
    before = set(bpy.data.objects)
    bpy.ops.import_scene.gltf(filepath=path)
    imported = [o for o in bpy.data.objects if o not in before and o.type == "MESH"]
    if not faces:
        return
    if not check(len(imported) == 1, f"{what}: the glb gives {len(imported)} meshes"):
        return
    glb = imported[0]
    world = np.array(glb.matrix_world)
    v = mesh_array(glb.data.vertices, "co", 3).astype(np.float64) @ world[:3, :3].T + world[:3, 3]
    tri_sizes = mesh_array(glb.data.polygons, "loop_total", 1, np.int32)
    tri_loops = mesh_array(glb.data.loops, "vertex_index", 1, np.int32)
    tri_slots = mesh_array(glb.data.polygons, "material_index", 1, np.int32)
    triangle_areas = newell_sums(v, tri_sizes, tri_loops)
    ours_v = mesh_array(obj.data.vertices, "co", 3).astype(np.float64) @ np.array(obj.matrix_world)[:3, :3].T
    sizes = mesh_array(obj.data.polygons, "loop_total", 1, np.int32)
    ours = newell_sums(ours_v, sizes, mesh_array(obj.data.loops, "vertex_index", 1, np.int32))
    # The glb holds a primitive per surface, its triangles in polygon order.
    # (named with a number added: the add-on's materials took the names first)
    glb_slot = {re.sub(r"\.\d{3}$", "", m.name): i for i, m in enumerate(glb.data.materials)}
    worst = 0.0
    for slot, material in enumerate(obj.data.materials):
        mine = [i for i, (value, _) in enumerate(faces) if by_value[value] == slot]
        theirs = triangle_areas[tri_slots == glb_slot.get(material.name, -1)]
        counts = [len(faces[i][1]) - 2 for i in mine]
        if not check(len(theirs) == sum(counts), f"{what}: {material.name}: {len(theirs)} glb triangles, "
                                                  f"expected {sum(counts)}"):
            return
        grouped = np.add.reduceat(theirs, np.cumsum(counts) - counts, axis=0) if counts else theirs
        scale = max(1.0, float(np.abs(ours).max(initial=0)))
        worst = max(worst, float(np.abs(grouped - ours[mine]).max(initial=0)) / scale)
        # The same material as the glb's, as Blender's glTF importer reads it.
        if material.name in glb_slot:
            check(same_shader(material, glb.data.materials[glb_slot[material.name]]),
                  f"{what}: {material.name} is not the glb's material")
    check(worst < 1e-5, f"{what}: faces lie or face otherwise than in the glb (off by {worst:.2g})")
    bpy.data.objects.remove(glb)
