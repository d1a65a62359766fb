# Imports the converter's OBJ, glb, glTF and FBX files into Blender and checks
# what Blender made of them against the call trace and the written normals:
#   blender -b --python-exit-code 1 --python tools/blender-check.py -- NAME.trace...
# For each NAME.trace, NAME.obj (+ .mtl), NAME.glb, NAME.gltf and NAME.fbx must lie
# beside it. Checked per file: the polygon count (glb: triangles), that every
# surface with polygons has its material, the material colours (those with
# plain-ASCII names), and that the corners' (position, normal) pairs in
# Blender, taken back to the files' Y-up space, are exactly those the OBJ
# names, so the glb and FBX normals must agree with the OBJ's too. One line
# per file; exits 1 on any mismatch.
import numpy

numpy.bool = bool  # Blender 3.4's glTF importer still uses the removed alias

import os
import sys

import bpy
from mathutils import Vector

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from blender_helpers import base_colour, expected_colour, read_trace  # noqa: E402


def obj_corners(path):
    """(position, normal) of every face corner the OBJ names."""
    v, vn, pairs = [], [], []
    for line in open(path):
        words = line.split()
        if not words:
            continue
        if words[0] == "v":
            v.append(tuple(float(x) for x in words[1:4]))
        elif words[0] == "vn":
            vn.append(tuple(float(x) for x in words[1:4]))
        elif words[0] == "f":
            for corner in words[1:]:
                point, _, normal = corner.split("/")
                pairs.append((v[int(point) - 1], vn[int(normal) - 1]))
    return pairs


def key(p):
    return tuple(round(c, 2) for c in p)


def index_pairs(pairs):
    table = {}
    for position, normal in pairs:
        table.setdefault(key(position), []).append((position, normal))
    return table


def find(table, position, normal):
    k = key(position)
    for dx in (-0.01, 0, 0.01):
        for dy in (-0.01, 0, 0.01):
            for dz in (-0.01, 0, 0.01):
                near = (round(k[0] + dx, 2), round(k[1] + dy, 2), round(k[2] + dz, 2))
                for p, n in table.get(near, ()):
                    if (Vector(p) - Vector(position)).length < 1e-3 and Vector(n).dot(
                        Vector(normal)
                    ) > 0.999:
                        return True
    return False


def blender_corners():
    """Corners of every mesh in the scene, in the files' Y-up space."""
    pairs, polygons, materials = [], 0, {}
    for o in bpy.context.scene.objects:
        if o.type != "MESH":
            continue
        mesh = o.data
        mesh.calc_normals_split()
        to_world = o.matrix_world
        normal_to_world = to_world.to_3x3().inverted().transposed()
        polygons += len(mesh.polygons)
        for material in mesh.materials:
            if material is not None:
                materials[material.name] = material
        for loop in mesh.loops:
            p = to_world @ mesh.vertices[loop.vertex_index].co
            n = (normal_to_world @ loop.normal).normalized()
            # Blender is Z-up: (x, y, z) there is (x, z, -y) in Y-up files.
            pairs.append(((p.x, p.z, -p.y), (n.x, n.z, -n.y)))
    return pairs, polygons, materials


def check(trace_path):
    stem = trace_path[: -len(".trace")]
    calls = read_trace(trace_path)
    values, blocks = calls.values, calls.blocks
    faces = [(len(points), value) for value, points in calls.polygons if len(points) >= 3]
    used = {name for name, value in values.items() if any(s == value for _, s in faces)}
    written = obj_corners(stem + ".obj")
    written_table = index_pairs(written)
    failures = 0
    for kind in ("obj", "glb", "gltf", "fbx"):
        path = f"{stem}.{kind}"
        bpy.ops.wm.read_factory_settings(use_empty=True)
        if kind == "obj":
            bpy.ops.wm.obj_import(filepath=path)
        elif kind in ("glb", "gltf"):
            bpy.ops.import_scene.gltf(filepath=path)
        else:
            bpy.ops.import_scene.fbx(filepath=path)
        pairs, count, materials = blender_corners()
        problems = []
        gltf = kind in ("glb", "gltf")
        want = sum(n - 2 for n, _ in faces) if gltf else len(faces)
        if count != want:
            problems.append(f"{count} polygons, expected {want}")
        missing = sorted(name for name in used if name.isascii() and name not in materials)
        if missing:
            problems.append("no material " + ", ".join(missing))
        for name, block in blocks.items():
            if name in materials and name.isascii():
                got = base_colour(materials[name])
                expect = expected_colour(block, linear=gltf)
                if any(abs(a - b) > 1e-3 for a, b in zip(got, expect)):
                    problems.append(
                        f"{name} colour {[round(c, 4) for c in got]}, "
                        f"expected {[round(c, 4) for c in expect]}"
                    )
        stray = sum(1 for p, n in pairs if not find(written_table, p, n))
        seen = index_pairs(pairs)
        lost = sum(1 for p, n in written if not find(seen, p, n))
        if stray or lost:
            problems.append(
                f"{stray} corners with a position or normal the OBJ does not have, "
                f"{lost} of the OBJ's corners not found"
            )
        print(
            f"blender: {path}: {count} polygons, {len(materials)} materials, "
            f"{len(pairs)} corners: " + ("; ".join(problems) if problems else "ok")
        )
        failures += bool(problems)
    return failures


failed = sum(check(path) for path in sys.argv[sys.argv.index("--") + 1 :])
sys.exit(1 if failed else 0)
