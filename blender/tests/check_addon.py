# The add-on in Blender, installed from its zip as a user installs it:
#
#   blender -b --factory-startup --python-exit-code 1 --python blender/tests/check_addon.py -- \
#       --zip ZIP --ostrel build/ostrel --work DIR MODEL...
#
# (run by tools/check-blender-addon.sh with a scratch user folder). Every
# MODEL is imported through File > Import's operator, and what Blender shows
# is held against what the reference converter (--ostrel) says the host
# received: its trace (points, polygons, loose edges, surfaces and blocks),
# its OBJ (the normals the host shades with, corner by corner) and its glb
# as Blender's glTF importer places it (world positions, front sides). Then
# the plug-in's options, names, the one-line errors, and a render. One line
# per check that fails; the exit status says whether any did.
import numpy

numpy.bool = bool  # Blender 3.4's glTF importer still uses the removed alias

import argparse
import os
import re
import shutil
import subprocess
import sys

import bpy
import numpy as np

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools"))
from blender_helpers import base_colour, expected_colour, read_trace, render  # noqa: E402

parser = argparse.ArgumentParser()
parser.add_argument("--zip", required=True)
parser.add_argument("--ostrel", required=True)
parser.add_argument("--work", required=True)
parser.add_argument("--picture", help="also render the first model here")
parser.add_argument("models", nargs="+")
args = parser.parse_args(sys.argv[sys.argv.index("--") + 1:])

failures = 0
checks = 0


def check(ok, what):
    global failures, checks
    checks += 1
    if not ok:
        failures += 1
        print(f"FAILED: {what}")
    return ok


def clear():
    for collection in (bpy.data.objects, bpy.data.meshes, bpy.data.materials):
        for item in list(collection):
            collection.remove(item)


def run_operator(**properties):
    """Calls the import operator; returns its error lines (Blender raises
    them all as one exception when any file failed)."""
    try:
        bpy.ops.import_scene.rk4(**properties)
        return []
    except RuntimeError as e:
        return [line[len("Error: "):] for line in str(e).splitlines() if line.startswith("Error: ")]


def reference(model, name, cli=()):
    """The reference converter's trace, OBJ and glb of `model`."""
    stem = os.path.join(args.work, name)
    subprocess.run([args.ostrel, *cli, model, "--trace", stem + ".trace"], check=True,
                   stdout=subprocess.DEVNULL)
    for kind in ("obj", "glb"):
        subprocess.run([args.ostrel, *cli, model, "-o", f"{stem}.{kind}"], check=True,
                       stdout=subprocess.DEVNULL)
    return stem


def mesh_array(collection, attribute, width, dtype=np.float32):
    values = np.empty(len(collection) * width, dtype)
    collection.foreach_get(attribute, values)
    return values.reshape(-1, width) if width > 1 else values


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


def expected_names(calls):
    """Surface names in the order of their values, as text."""
    ordered = sorted(calls.values.items(), key=lambda item: item[1])
    return [addon.surfaces.decode_name(name.encode("latin-1").decode("unicode_escape")
                                       .encode("latin-1")) for name, _ in ordered]


def check_model(model, stem, obj, what, mode="SMOOTH"):
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
    smooth_faces = mesh_array(mesh.polygons, "use_smooth", 1, bool)
    slots = mesh_array(mesh.polygons, "material_index", 1, np.int32)
    check(slots.tolist() == [by_value[v] for v, _ in faces], f"{what}: faces on the wrong materials")
    for slot, material in enumerate(mesh.materials):
        block = blocks.get(slot)
        flags = block[16] << 8 | block[17] if block else 0
        colour = expected_colour(block, linear=True) if block else [addon.build.srgb_to_linear(200 / 255)] * 3
        check(np.allclose(base_colour(material), colour, atol=1e-6),
              f"{what}: {material.name} colour {base_colour(material)}, expected {colour}")
        check(material.use_backface_culling == (not flags & 0x100),
              f"{what}: {material.name} culling {material.use_backface_culling} for flags {flags:#x}")
        if block:
            specular = (block[50] << 8 | block[51]) / 256
            bsdf = material.node_tree.nodes["Principled BSDF"]
            check(abs(bsdf.inputs["Specular"].default_value - specular) < 1e-6,
                  f"{what}: {material.name} specular {bsdf.inputs['Specular'].default_value}, expected {specular}")
        on = slots == slot
        check(np.all(smooth_faces[on] == bool(flags & 4)), f"{what}: {material.name} faces' smoothing")

    # Normals: Blender's, corner by corner, against those the OBJ carries.
    if len(faces):
        mesh.calc_normals_split()
        normals = mesh_array(mesh.loops, "normal", 3).astype(np.float64)
        written = obj_normals(stem + ".obj")
        apart = np.linalg.norm(normals - written, axis=1)
        if mode == "HOST":
            # Stored in 16-bit angles: a few hundredths of a degree off.
            check(apart.max() < 2e-3, f"{what}: custom normals off by up to {apart.max():.2g}")
        else:
            report_smoothing(what, obj, normals, written, apart)

    # Placement: the converter's glb as Blender's glTF importer puts it.
    check_against_glb(stem + ".glb", obj, faces, by_value, what)


def report_smoothing(what, obj, normals, written, apart):
    """Blender's edge-based smoothing against the host's corner rule: equal,
    or different only where the rules differ (see docs/blender.md): the
    weighting, edges of three faces or more, points where polygons of a
    surface lie farther apart than the smoothing angle."""
    differ = apart > 1e-4
    data = addon_data[obj.name]
    weighted = addon.normals.corner_normals(data, (0, 0, 1), weighted_by_angle=True)
    by_weight = differ & (np.linalg.norm(normals - weighted, axis=1) <= 1e-3)
    mesh = obj.data
    edge_of_loop = mesh_array(mesh.loops, "edge_index", 1, np.int32)
    uses = np.bincount(edge_of_loop, minlength=len(mesh.edges))
    ends = mesh_array(mesh.edges, "vertices", 2, np.int32)
    fin = np.zeros(len(mesh.vertices), bool)
    fin[ends[uses > 2].ravel()] = True
    loops = data.face_loops
    unit, _ = addon.normals.face_normals(data.vertices, data.face_sizes, loops)
    owner = np.repeat(np.arange(len(data.face_sizes)), data.face_sizes)
    # Points with two polygons of one surface beyond the angle of each other.
    apart_at = np.zeros(len(mesh.vertices), bool)
    if data.smoothing_angle is not None:
        limit = np.cos(data.smoothing_angle)
        for point in np.unique(loops[differ & ~by_weight & ~fin[loops]]):
            at = owner[loops == point]
            for s in np.unique(data.face_surfaces[at]):
                n = unit[at[data.face_surfaces[at] == s]]
                apart_at[point] |= bool((n @ n.T < limit).any())
    fins = differ & ~by_weight & fin[loops]
    threshold = differ & ~by_weight & ~fin[loops] & apart_at[loops]
    unexplained = differ & ~by_weight & ~fin[loops] & ~apart_at[loops]
    degrees = lambda d: float(np.degrees(2 * np.arcsin(min(1.0, d / 2))))  # noqa: E731
    worst = lambda m: degrees(apart[m].max(initial=0))  # noqa: E731
    print(f"smoothing: {what}: {len(apart)} corners, {int((~differ).sum())} as the host; "
          f"by weighting {int(by_weight.sum())} (up to {worst(by_weight):.1f} deg), "
          f"at edges of 3+ faces {int(fins.sum())} (up to {worst(fins):.1f} deg), "
          f"near the angle {int(threshold.sum())} (up to {worst(threshold):.1f} deg)")
    check(not unexplained.any(), f"{what}: {int(unexplained.sum())} corners differ from the host's "
          f"normals for none of the known reasons (first at loop {np.flatnonzero(unexplained)[:1]})")


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
    triangle_areas = addon.normals.newell_sums(v, tri_sizes, tri_loops)
    ours_v = mesh_array(obj.data.vertices, "co", 3).astype(np.float64) @ np.array(obj.matrix_world)[:3, :3].T
    sizes = mesh_array(obj.data.polygons, "loop_total", 1, np.int32)
    ours = addon.normals.newell_sums(ours_v, sizes, mesh_array(obj.data.loops, "vertex_index", 1, np.int32))
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
    check(worst < 1e-5, f"{what}: faces lie or face otherwise than in the glb (off by {worst:.2g})")
    bpy.data.objects.remove(glb)


def check_reading():
    """The add-on's reading of small traces, exactly."""
    # The cube's first surface: grey A0A0A0, smooth at 44.5 degrees, specular 47/256.
    cube_block = (b"434F4C520004A0A0A000464C414700020004534D414E00043F46D3F24449464600020100"
                  b"5452414E00020000535045430002002F474C4F5300020000")
    text = (b'createControl TextControl "" "3 pts / 0/0 lines / 1 faces" -> #1\n'
            b'setControlAttribute #2 4 1\nsetControlAttribute #5 4 "b\\x95\\x5c"\n'
            b'setControlAttribute #8 4 44.5\nstartObject\ndeclarePointCount 4\n'
            b'addPoints 0 -0 1.5\naddPoints 8 -8 inf\naddPoints 1e-05 2 3\naddPoints 0 0 0\n'
            b'lookupSurface "a\\"b 0" -> 1\nlookupSurface "\\x95\\x5c\\x8e\\xa61" -> 2\n'
            b'addPolygon 0 1\naddPolygon 1 1 2\naddPolygon 2 1 3 3\naddPolygon 2 1 0 1\n'
            b'addPolygon 2 2 1 0\naddPolygon 4 2 0 1 2 3\naddPolygon 6 1 0 1 2 0 1 2\n'
            b'storeSurfaceData "a\\"b 0" 60 ' + cube_block + b'\nstatus 0\nresult 0\n')
    r = addon.trace.parse(text)
    check(r.summary == b"3 pts / 0/0 lines / 1 faces" and r.proposed == {2: 1, 5: b"b\x95\x5c", 8: 44.5},
          f"the panel's lines: {r.summary} {r.proposed}")
    check(r.points.tolist() == [[0, 0, 1.5], [8, -8, float("inf")], [np.float32(1e-05), 2, 3], [0, 0, 0]]
          and np.signbit(r.points[0, 1]), f"points {r.points.tolist()}")
    check(r.surfaces == [(b'a"b 0', 1), (b"\x95\x5c\x8e\xa61", 2)], f"surfaces {r.surfaces}")
    check(r.polygon_sizes.tolist() == [0, 1, 2, 2, 2, 4, 6] and r.polygon_surfaces.tolist() == [1, 1, 1, 1, 2, 2, 1]
          and r.corners.tolist() == [2, 3, 3, 0, 1, 1, 0, 0, 1, 2, 3, 0, 1, 2, 0, 1, 2],
          f"polygons {r.polygon_sizes.tolist()} {r.corners.tolist()}")
    check((r.status, r.result) == (0, 0) and list(r.blocks) == [b'a"b 0'], "status, result, blocks")

    d = addon.geometry.mesh_data(r, np.eye(3))
    check(d.vertices[:, 2].tolist()[:1] == [-1.5], "Z negated into the right-handed space")
    check((d.without_corners, d.single_points, d.collapsed_lines) == (1, 1, 1),
          f"dropped: {d.without_corners} {d.single_points} {d.collapsed_lines}")
    check(d.loose_edges.tolist() == [[0, 1]], f"lines {d.loose_edges.tolist()}: each pair once")
    check(d.face_sizes.tolist() == [4, 3] and d.face_loops.tolist() == [0, 3, 2, 1, 0, 2, 1],
          f"faces {d.face_loops.tolist()}: reversed from the first corner; the loop run twice, once")
    check(d.face_surfaces.tolist() == [1, 0] and (d.split_polygons, d.split_faces) == (1, 1),
          f"faces' surfaces {d.face_surfaces.tolist()}, split {d.split_polygons} {d.split_faces}")
    names = [s.name for s in d.surfaces]
    check(names == ['a"b 0', "表示1"], f"names {names}: UTF-8 or else Shift-JIS")
    s = d.surfaces[0]
    check((s.colour, s.smooth, s.double_sided, round(s.angle, 7)) == ((160, 160, 160), True, False, 0.7766715)
          and not d.surfaces[1].has_block and d.surfaces[1].colour == (200, 200, 200),
          "the block's colour, flags and angle; grey without a block")
    values = addon.build.material_values(s)
    check(values["specular"] == 47 / 256 and values["roughness"] == 1.0 and values["alpha"] == 1.0,
          f"the block on the shader: {values}")
    angles = [addon.geometry.effective_angle(np.radians(a)) for a in (44.5, 270, -30, 360)]
    check(np.allclose(np.degrees(angles), [44.5, 90, 30, 0]) and
          addon.geometry.effective_angle(float("nan")) == 0, f"effective angles {np.degrees(angles)}")

    for broken in (b"startObject\ndeclarePointCount 1\naddPoints 1 2\nstatus 0\n",
                   b"startObject\ndeclarePointCount 1\naddPoints 1 2 3\naddPolygon 3 1 0 0\n",
                   b"startObject\ndeclarePointCount 1\naddPoints 1 2 3\naddPolygon 1 1 5\n"):
        try:
            addon.trace.parse(broken)
            check(False, f"{broken} is refused")
        except addon.trace.TraceError:
            pass
    r = addon.trace.parse(b"status 1\nresult 0\n")
    check((r.status, len(r.points), len(r.polygon_sizes)) == (1, 0, 0), "a trace without an object")


# Installed as a user installs it, into the (scratch) user folder.
bpy.ops.preferences.addon_install(filepath=os.path.abspath(args.zip))
bpy.ops.preferences.addon_enable(module="io_import_ostrel")
import io_import_ostrel as addon  # noqa: E402

user_addons = bpy.utils.user_resource("SCRIPTS", path="addons")
found = addon.converter.find("")
check(found == os.path.join(user_addons, "io_import_ostrel", "bin", "linux-x86_64", "ostrel"),
      f"the converter used is {found}, not the one the zip brought")

check_reading()

# The add-on's own reading of each import, for the comparisons above.
addon_data = {}
original_read = addon.importer.read


routes = {}


def keeping_read(path, *rest, **named):
    outcome = original_read(path, *rest, **named)
    if outcome.data is not None:
        addon_data[addon.importer.object_name(path)] = outcome.data
        routes[path] = outcome.route
    return outcome


def same_data(a, b):
    """Whether two readings give the same mesh and surfaces."""
    arrays = ("vertices", "face_sizes", "face_loops", "face_surfaces", "loose_edges")
    looks = ("name", "colour", "smooth", "double_sided", "angle", "diffuse", "specular", "glossiness")
    return (all(np.array_equal(getattr(a, k), getattr(b, k)) for k in arrays)
            and [[getattr(s, k) for k in looks] for s in a.surfaces]
            == [[getattr(s, k) for k in looks] for s in b.surfaces])


addon.importer.read = keeping_read

os.makedirs(args.work, exist_ok=True)
options = addon.importer.Options()
for model in args.models:
    name = os.path.splitext(os.path.basename(model))[0]
    stem = reference(model, name)
    # The LWOB file and the trace tell the same.
    by_lwob = original_read(model, found, options, np.eye(3), route="lwob")
    by_trace = original_read(model, found, options, np.eye(3), route="trace")
    check(by_lwob.route == "lwob" and by_trace.route == "trace" and same_data(by_lwob.data, by_trace.data),
          f"{model}: the LWOB file and the trace differ")
    for mode in ("SMOOTH", "HOST"):
        clear()
        errors = run_operator(filepath=os.path.abspath(model), normals=mode)
        if not check(not errors, f"{model}: {errors}"):
            continue
        objects = [o for o in bpy.data.objects if o.type == "MESH"]
        if check(len(objects) == 1, f"{model}: {len(objects)} objects"):
            check_model(model, stem, objects[0], f"{model} ({mode.lower()})", mode)

# The plug-in's options, each set otherwise than the file proposes.
cube = os.path.join(ROOT, "examples", "cube.rk4")
freelines = os.path.join(ROOT, "examples", "freelines.rk4")
for model, properties, cli in (
    (freelines, dict(load_target="LINES", colour_set="MIDDLE"), ["--load", "lines", "--colours", "middle"]),
    (cube, dict(load_target="BOTH", colour_set="DARK", double_sided="ON", smooth="OFF"),
     ["--load", "both", "--colours", "dark", "--double-sided", "on", "--smooth", "off"]),
    (cube, dict(colour_set="BRIGHT", set_scale=True, scale=1.5, set_name=True, surface_name="box",
          set_angle=True, smoothing_angle=100.0),
     ["--colours", "bright", "--scale", "1.5", "--name", "box", "--angle", "100"]),
):
    name = os.path.splitext(os.path.basename(model))[0]
    what = f"{name} with {' '.join(cli)}"
    stem = reference(model, name + "-options", cli)
    clear()
    errors = run_operator(filepath=model, **properties)
    if check(not errors, f"{what}: {errors}"):
        check_model(model, stem, bpy.data.objects[name], what)

# What the panel shows of a file before the import: its statistics and proposals.
proposed = addon.proposals(found, cube)
check(proposed is not None and proposed.summary == b"8 pts / 0/0 lines / 6 faces"
      and addon.describe(proposed)
      == "faces only, middle, scale 8, cube, smooth 44.5\u00b0, single-sided",
      f"the cube's proposals: {proposed and addon.describe(proposed)}")

# Japanese names: the object after the file, the materials after the surfaces.
japanese = os.path.join(args.work, "日本.rk4")
shutil.copyfile(cube, japanese)
stem = reference(japanese, "日本")
clear()
check(not run_operator(filepath=japanese), "日本.rk4 imports")
check(bpy.data.objects.get("日本") is not None, f"日本.rk4 gives {[o.name for o in bpy.data.objects]}")
check([m.name for m in bpy.data.materials] == ["日本0", "日本1", "日本2"],
      f"日本.rk4's materials {[m.name for m in bpy.data.materials]}")

# A face whose lines run round a triangle twice reaches the host as a loop
# through each point twice, which a Blender face cannot be: it comes in as
# the triangle, once, with a warning.
twice = os.path.join(args.work, "twice.rk4")
points = [(0, 0, 0), (1, 0, 0), (0, 1, 0)]
lines = [(1, 2), (2, 3), (3, 1)]
text = ["ROKU4", "POINT"] + [f for x, y, z in points for f in ("0", "0", "0", "0", "0", x, y, z)]
text += ["LINE0"] + [f for a, b in lines for f in (a, b, 0, 0)]
text += ["FACE0", 6, 0, 0, 1, 2, 3, 1, 2, 3, "END00"]
with open(twice, "w") as f:
    f.write("\r\n".join(str(t) for t in text) + "\r\n")
clear()
check(not run_operator(filepath=twice), "twice.rk4 imports")
mesh = bpy.data.meshes.get("twice")
if check(mesh is not None, "twice.rk4 gives a mesh"):
    check([sorted(p.vertices) for p in mesh.polygons] == [[0, 1, 2]],
          f"twice.rk4: faces {[list(p.vertices) for p in mesh.polygons]}, expected the triangle")
    check(not mesh.validate(), "twice.rk4's mesh is valid as made")

# More points than the LWOB layout numbers (the face reaches the last point
# that polygons can): read from the trace.
many = os.path.join(args.work, "many.rk4")
text = ["ROKU4", "POINT"] + [f for i in range(65537) for f in ("0", "0", "0", "0", "0", i % 256, i // 256, 0)]
text += ["LINE0", 1, 2, 0, 0, 2, 65536, 0, 0, 65536, 1, 0, 0, "FACE0", 3, 0, 0, 1, 2, 3, "END00"]
with open(many, "w") as f:
    f.write("\r\n".join(str(t) for t in text) + "\r\n")
clear()
check(not run_operator(filepath=many), "many.rk4 imports")
mesh = bpy.data.meshes.get("many")
check(routes.get(many) == "trace" and mesh is not None and len(mesh.vertices) == 65537
      and [sorted(p.vertices) for p in mesh.polygons] == [[0, 1, 65535]],
      f"many.rk4, 65,537 points: read from {routes.get(many)}, faces {[list(p.vertices) for p in mesh.polygons] if mesh else None}")

# Failures: one line each, the converter's own words; the other files import.
empty = os.path.join(args.work, "empty.rk4")
open(empty, "wb").close()
nothing = os.path.join(args.work, "nothing.rk4")
with open(nothing, "w") as f:
    f.write("ROKU4\r\n")
not_model = os.path.join(ROOT, "tests", "data", "not_model.txt")
missing = os.path.join(args.work, "missing.rk4")
tetrahedron = os.path.join(ROOT, "examples", "tetrahedron.rk4")
folder_files = []
for path in (cube, not_model, empty, missing, nothing, tetrahedron):
    link = os.path.join(args.work, "batch", os.path.basename(path))
    os.makedirs(os.path.dirname(link), exist_ok=True)
    if os.path.exists(path) and not os.path.exists(link):
        shutil.copyfile(path, link)
    folder_files.append(os.path.basename(path))
batch = os.path.join(args.work, "batch")
clear()
errors = run_operator(directory=batch, files=[{"name": n} for n in folder_files])
expected = []
for name in ("not_model.txt", "empty.rk4", "missing.rk4"):
    done = subprocess.run([args.ostrel, "--trace", "-", "--", os.path.join(batch, name)], capture_output=True)
    expected.append(done.stderr.decode().strip())
expected.append(f"ostrel: {os.path.join(batch, 'nothing.rk4')}: nothing to import (0 points, 0 polygons received)")
check(errors == expected, f"the failures' lines: {errors}, expected {expected}")
check(sorted(o.name for o in bpy.data.objects) == ["cube", "tetrahedron"],
      f"the batch's objects: {[o.name for o in bpy.data.objects]}")

if args.picture:
    clear()
    run_operator(filepath=os.path.abspath(args.models[0]))
    render(args.picture)
    image = bpy.data.images.load(args.picture)
    pixels = np.array(image.pixels[:]).reshape(-1, 4)[:, :3]
    sky = pixels[0]
    check(np.count_nonzero(np.abs(pixels - sky).max(axis=1) > 0.1) > len(pixels) // 20,
          f"the picture {args.picture} shows hardly anything but the sky")

print(f"add-on checks: {checks - failures} passed, {failures} failed")
sys.exit(1 if failures else 0)
