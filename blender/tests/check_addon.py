# The add-on in Blender, installed as a user installs it (the legacy zip in
# Blender 3.x, the extension package from 4.2 on):
#
#   blender -b --factory-startup --python-exit-code 1 --python blender/tests/check_addon.py -- \
#       --package ZIP --ostrel build-blender/ostrel --work DIR [--pictures DIR] \
#       [--hostile DIR]... MODEL...
#
# (run by tools/check-blender-addon.sh with a scratch user folder, in each
# Blender version). Every MODEL is imported through File > Import's
# operator, and what Blender shows is held against what the reference
# converter (--ostrel) says the host received: its trace (points, polygons,
# loose edges, surfaces and blocks), its OBJ (the normals the host shades
# with, corner by corner) and its glb as Blender's glTF importer places it
# (world positions, front sides). Then the plug-in's options, names, the
# one-line errors, the hostile files, and renders: the cube, and two
# cylinders whose sides must show as the host shades them (faceted at a
# smoothing angle of 10 degrees, smooth at 60). One line per check that
# fails; the exit status says whether any did.
import numpy

if not hasattr(numpy, "bool"):
    numpy.bool = bool  # Blender 3.4's glTF importer still uses the removed alias

import argparse
import json
import math
import os
import shutil
import subprocess
import sys
import time

import bpy
import numpy as np

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools"))
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import object_checks  # noqa: E402
from blender_helpers import render  # noqa: E402
from object_checks import VERSION, check, check_model  # noqa: E402

parser = argparse.ArgumentParser()
parser.add_argument("--package", required=True)
parser.add_argument("--ostrel", required=True)
parser.add_argument("--work", required=True)
parser.add_argument("--pictures", help="render the cube and the cylinders into this folder")
parser.add_argument("--hostile", action="append", default=[], help="a folder of hostile files")
parser.add_argument("--whole", help="a model past the host's 65,536 points, imported whole")
parser.add_argument("models", nargs="+")
arguments = sys.argv[sys.argv.index("--") + 1:]
args = parser.parse_args(arguments)


def clear():
    for collection in (bpy.data.objects, bpy.data.meshes, bpy.data.materials, bpy.data.images):
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


def converter(*arguments_, check_status=True):
    return subprocess.run([args.ostrel, *arguments_], check=check_status, capture_output=True)


def reference(model, name, cli=()):
    """The reference converter's trace, OBJ and glb of `model`, as read: a
    damaged test model (cut short on purpose) is compared as the add-on
    imports it with its option set."""
    stem = os.path.join(args.work, name)
    written = lambda done: done.returncode in (0, 9)  # noqa: E731 (9: damaged, written as read)
    for output in (["--trace", stem + ".trace"], ["-o", stem + ".obj"], ["-o", stem + ".glb"]):
        done = converter(*cli, "--salvage", model, *output, check_status=False)
        check(written(done), f"{model}: the reference {output[-1]}: {done.stderr.decode()}")
    return stem



def write_model(path, points, lines, faces, grey=None):
    """A model file: `lines` as 1-based point pairs, `faces` as 1-based line
    lists, all of colour 0; with `grey`, a palette entry for it."""
    text = ["ROKU4", "POINT"] + [f for x, y, z in points for f in ("0", "0", "0", "0", "0", x, y, z)]
    text += ["LINE0"] + [f for a, b in lines for f in (a, b, 0, 0)]
    text += ["FACE0"] + [f for face in faces for f in (len(face), 0, 0, *face)] + ["END00"]
    if grey is not None:
        text += ["PALC0", 1, "palette", grey, grey, grey, grey // 2, grey // 2, grey // 2, "-", "ENDP0"]
    with open(path, "w") as f:
        f.write("\r\n".join(str(t) for t in text) + "\r\n")


def cylinder(path, sides=24):
    """An open cylinder of `sides` quads around the host's Y axis."""
    points = [(round(5 * math.cos(2 * math.pi * i / sides), 4), y, round(5 * math.sin(2 * math.pi * i / sides), 4))
              for y in (0, 8) for i in range(sides)]
    ring = [(i + 1, (i + 1) % sides + 1) for i in range(sides)]
    lines = ring + [(a + sides, b + sides) for a, b in ring] + [(i + 1, i + 1 + sides) for i in range(sides)]
    faces = [(i + 1, 2 * sides + (i + 1) % sides + 1, sides + i + 1, 2 * sides + i + 1) for i in range(sides)]
    write_model(path, points, lines, faces, grey=170)


def render_side(path, width=320, height=200):
    """Renders the imported cylinder from its side with Cycles: the camera
    level with its middle, a sun from the side (so that the brightness runs
    from dark to light across it), a transparent background (so that the
    object's pixels are known by their alpha)."""
    from mathutils import Vector

    scene = bpy.context.scene
    obj = next(o for o in scene.objects if o.type == "MESH")
    corners = [obj.matrix_world @ Vector(c) for c in obj.bound_box]
    centre = sum(corners, Vector()) / 8
    camera = bpy.data.objects.new("side camera", bpy.data.cameras.new("side camera"))
    scene.collection.objects.link(camera)
    camera.location = centre + Vector((0, -6 * max(c.x for c in corners), 0))
    camera.rotation_euler = (math.pi / 2, 0, 0)
    scene.camera = camera
    sun = bpy.data.objects.new("side sun", bpy.data.lights.new("side sun", "SUN"))
    sun.data.energy = 4
    sun.rotation_euler = (math.radians(90), 0, math.radians(-60))
    scene.collection.objects.link(sun)
    world = bpy.data.worlds.new("dark")
    world.use_nodes = True
    world.node_tree.nodes["Background"].inputs["Strength"].default_value = 0.05
    scene.world = world
    scene.render.engine = "CYCLES"
    scene.cycles.device = "CPU"
    scene.cycles.samples = 32
    scene.cycles.use_denoising = False
    scene.render.film_transparent = True
    scene.render.resolution_x, scene.render.resolution_y = width, height
    scene.render.resolution_percentage = 100
    scene.render.image_settings.file_format = "PNG"
    scene.render.image_settings.color_mode = "RGBA"
    scene.render.filepath = path
    bpy.ops.render.render(write_still=True)


def row_jumps(path):
    """Across the middle of the rendered side: the brightness of each column
    of the object (the middle rows averaged), and the jumps: steps between
    neighbours many times those around them (a smooth ramp, however steep,
    steps alike from column to column; flat bands step not at all within)."""
    image = bpy.data.images.load(path)
    width, height = image.size
    pixels = np.array(image.pixels[:]).reshape(height, width, 4)
    bpy.data.images.remove(image)
    band = pixels[height // 2 - 10:height // 2 + 10]
    columns = np.flatnonzero(band[:, :, 3].min(axis=0) > 0.999)
    if len(columns) < 40:
        return None
    profile = band[:, :, :3].mean(axis=(0, 2))[columns[4]:columns[-4]]
    steps = np.abs(np.diff(profile))
    around = np.array([np.median(np.delete(steps[max(0, i - 5):i + 6], min(i, 5)))
                       for i in range(len(steps))])
    jumps = (steps > 0.01) & (steps > 6 * around + 0.003)
    return int(np.count_nonzero(jumps)), float(np.median(steps)), float(steps.max())


def check_cylinders(folder):
    """The 10 degree cylinder renders faceted (flat bands with jumps between
    them), the 60 degree one smooth (a continuous ramp)."""
    path = os.path.join(args.work, "cylinder.rk4")
    cylinder(path)
    for angle, faceted in ((10.0, True), (60.0, False)):
        clear()
        errors = run_operator(filepath=path, smooth="ON", set_angle=True, angle=angle,
                              set_scale=True, scale=1.0)
        if not check(not errors, f"cylinder at {angle:g} degrees: {errors}"):
            continue
        picture = os.path.join(folder, f"cylinder-{angle:g}-blender-{VERSION}.png")
        render_side(picture)
        found = row_jumps(picture)
        if not check(found is not None, f"{picture} shows no cylinder"):
            continue
        jumps, median, largest = found
        print(f"render: Blender {VERSION}: cylinder at {angle:g} degrees: {jumps} jumps "
              f"(steps: median {median:.4f}, largest {largest:.4f}): {picture}")
        if faceted:
            check(jumps >= 4, f"cylinder at {angle:g} degrees renders smooth in {picture}, the host shows it faceted")
        else:
            check(jumps == 0, f"cylinder at {angle:g} degrees renders faceted in {picture} "
                              f"({jumps} jumps), the host shows it smooth")


def install():
    """The add-on as a user installs it; returns its module."""
    if hasattr(bpy.ops, "extensions") and args.package.endswith(".zip") and bpy.app.version >= (4, 2, 0) \
            and "linux_x64" in os.path.basename(args.package):
        bpy.ops.extensions.package_install_files(filepath=os.path.abspath(args.package), repo="user_default",
                                                 enable_on_install=True)
        name = "bl_ext.user_default.io_import_ostrel"
    else:
        bpy.ops.preferences.addon_install(filepath=os.path.abspath(args.package))
        bpy.ops.preferences.addon_enable(module="io_import_ostrel")
        name = "io_import_ostrel"
    import importlib
    return importlib.import_module(name), name


addon, module_name = install()
check(module_name in bpy.context.preferences.addons, f"{module_name} is enabled")
library = addon.engine.find("")
check(os.path.dirname(library.path).endswith(os.path.join("lib", "linux-x64")),
      f"the engine used is {library.path}, not the one the package brought")

os.makedirs(args.work, exist_ok=True)
generated = [m for m in args.models if os.path.basename(m).startswith("generated")]
for model in args.models:
    name = os.path.splitext(os.path.basename(model))[0]
    stem = reference(model, name)
    for mode in ("SMOOTH", "HOST"):
        clear()
        errors = run_operator(filepath=os.path.abspath(model), normals=mode, salvage=True)
        if not check(not errors, f"{model}: {errors}"):
            continue
        objects = [o for o in bpy.data.objects if o.type == "MESH"]
        if check(len(objects) == 1, f"{model}: {len(objects)} objects"):
            check_model(model, stem, objects[0], f"{model} ({mode.lower()})", mode,
                        exact_smoothing=model not in generated)

# A model past the 65,536 points the host numbers: the host gets a third of
# its faces (the trace), the add-on every one, as the converter's files do.
if args.whole:
    clear()
    started = time.perf_counter()
    errors = run_operator(filepath=os.path.abspath(args.whole))
    seconds = time.perf_counter() - started
    obj_file = os.path.join(args.work, "whole.obj")
    converter(args.whole, "-o", obj_file)
    with open(obj_file) as f:
        faces = sum(1 for line in f if line.startswith("f "))
    meshes = [o for o in bpy.data.objects if o.type == "MESH"]
    check(not errors and len(meshes) == 1 and len(meshes[0].data.polygons) == faces,
          f"{args.whole}: {errors}, {[len(o.data.polygons) for o in meshes]} faces, "
          f"expected {faces}")
    print(f"whole: Blender {VERSION} imported {faces} faces of {os.path.basename(args.whole)} "
          f"in {seconds:.2f} s")

# The plug-in's options, made from the engine's panel, each set otherwise
# than the file proposes (a choice by its item number).
cube = os.path.join(ROOT, "examples", "cube.rk4")
freelines = os.path.join(ROOT, "examples", "freelines.rk4")
for model, properties, cli in (
    (freelines, dict(load="0", colours="1"), ["--load", "lines", "--colours", "middle"]),
    (cube, dict(load="2", colours="2", double_sided="ON", smooth="OFF"),
     ["--load", "both", "--colours", "dark", "--double-sided", "on", "--smooth", "off"]),
    (cube, dict(colours="0", set_scale=True, scale=1.5, set_base_name=True, base_name="box",
          set_angle=True, angle=100.0),
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
proposed = addon.proposals(library, cube)
check(proposed is not None and proposed.statistics == "8 pts / 0/0 lines / 6 faces"
      and addon.describe(proposed) == "faces only, middle, Scale 8, cube, Smooth on, Smoothing Angle "
                                      "44.5, Double Sided off",
      f"the cube's proposals: {proposed and addon.describe(proposed)}")
properties = bpy.ops.import_scene.rk4.get_rna_type().properties
check(properties["scale"].default == 8 and properties["angle"].default == 44.5
      and properties["load"].name == "Load 読み込み対象",
      "the options start at the plug-in's proposals, named as the engine names them")

# Japanese names: the object after the file, the materials after the surfaces.
japanese = os.path.join(args.work, "日本.rk4")
shutil.copyfile(cube, japanese)
clear()
check(not run_operator(filepath=japanese), "日本.rk4 imports")
check(bpy.data.objects.get("日本") is not None, f"日本.rk4 gives {[o.name for o in bpy.data.objects]}")
check([m.name for m in bpy.data.materials] == ["日本0", "日本1", "日本2"],
      f"日本.rk4's materials {[m.name for m in bpy.data.materials]}")

# A face whose lines run round a triangle twice reaches the host as a loop
# through each point twice, which a Blender face cannot be: it comes in as
# the triangle, once, with a warning.
twice = os.path.join(args.work, "twice.rk4")
write_model(twice, [(0, 0, 0), (1, 0, 0), (0, 1, 0)], [(1, 2), (2, 3), (3, 1)], [(1, 2, 3, 1, 2, 3)])
for mode in ("SMOOTH", "HOST"):
    clear()
    check(not run_operator(filepath=twice, normals=mode), f"twice.rk4 imports ({mode})")
    mesh = bpy.data.meshes.get("twice")
    if check(mesh is not None, "twice.rk4 gives a mesh"):
        check([sorted(p.vertices) for p in mesh.polygons] == [[0, 1, 2]],
              f"twice.rk4: faces {[list(p.vertices) for p in mesh.polygons]}, expected the triangle")
        check(not mesh.validate(), "twice.rk4's mesh is valid as made")

# The rulebook's cases (tests/rulebook/cases.json), as every front end
# answers them: through the add-on's import of a file with the panel's
# choices (a number as Blender's fields give it, the rest as typed).
table = json.load(open(os.path.join(ROOT, "tests", "rulebook", "cases.json"), encoding="utf-8"))
choice_of = {"scale": "scale", "name": "base_name"}
for case in table["cases"]:
    if "folder" in case:
        continue  # Blender's file browser lists the files; the add-on imports those given
    what = f"rulebook: {case['case']}"
    name = bytes.fromhex(case["name"]) if "name" in case else b"rulebook.rk4"
    path = os.fsdecode(os.path.join(os.fsencode(args.work), name))
    with open(path, "wb") as f:
        f.write(open(os.path.join(ROOT, case["model"]), "rb").read() if case["model"] else b"")
    choices = {}
    if "edit" in case:
        key, text, *times = case["edit"]
        text *= times[0] if times else 1
        try:
            choices[choice_of[key]] = float(text)
        except ValueError:
            choices[choice_of[key]] = text
    outcome = addon.importer.read(path, library, choices)
    if "fails" in case:
        option = choice_of[case["edit"][0]] if "edit" in case else ""
        said = case["fails"].replace("{option}", option)
        check(outcome.error == f"ostrel: {path}: {said}", f"{what}: {outcome.error}")
    elif "warns" in case:
        warning = "ostrel: warning: " + case["warns"].replace("{model}", path)
        check(warning in outcome.warnings, f"{what}: {outcome.warnings}")
    elif "surface" in case:
        names = [s.name for s in outcome.data.surfaces] if outcome.data else outcome.error
        check(names and names[1] == case["surface"], f"{what}: {names}")

# More points than 16-bit numbers reach: every point a vertex, the face
# among the first 65,536.
many = os.path.join(args.work, "many.rk4")
write_model(many, [(i % 256, i // 256, 0) for i in range(65537)], [(1, 2), (2, 65536), (65536, 1)],
            [(1, 2, 3)])
clear()
check(not run_operator(filepath=many), "many.rk4 imports")
mesh = bpy.data.meshes.get("many")
check(mesh is not None and len(mesh.vertices) == 65537 and [sorted(p.vertices) for p in mesh.polygons] == [[0, 1, 65535]],
      f"many.rk4, 65,537 points: faces {[list(p.vertices) for p in mesh.polygons] if mesh else None}")

# Failures: one line each, the converter's own words; the other files import.
empty = os.path.join(args.work, "empty.rk4")
open(empty, "wb").close()
nothing = os.path.join(args.work, "nothing.rk4")
with open(nothing, "w") as f:
    f.write("ROKU4\r\n")
not_model = os.path.join(ROOT, "tests", "data", "not_model.txt")
missing = os.path.join(args.work, "missing.rk4")
tetrahedron = os.path.join(ROOT, "examples", "tetrahedron.rk4")
batch = os.path.join(args.work, "batch")
os.makedirs(batch, exist_ok=True)
folder_files = []
for path in (cube, not_model, empty, missing, nothing, tetrahedron):
    if os.path.exists(path):
        shutil.copyfile(path, os.path.join(batch, os.path.basename(path)))
    folder_files.append(os.path.basename(path))
clear()
errors = run_operator(directory=batch, files=[{"name": n} for n in folder_files])
expected = [converter("--quiet", "--trace", "-", "--", os.path.join(batch, name), check_status=False)
            .stderr.decode().strip() for name in ("not_model.txt", "empty.rk4", "missing.rk4")]
expected.append(f"ostrel: {os.path.join(batch, 'nothing.rk4')}: nothing to import (0 points, 0 polygons received)")
check(errors == expected, f"the failures' lines: {errors}, expected {expected}")
check(sorted(o.name for o in bpy.data.objects) == ["cube", "tetrahedron"],
      f"the batch's objects: {[o.name for o in bpy.data.objects]}")

# A damaged file (a cube cut short) is reported in the converter's words and
# left out, unless the option asks for what was read.
cut = os.path.join(args.work, "cut.rk4")
with open(cut, "wb") as f:
    f.write(open(cube, "rb").read()[:300])
clear()
said = converter("--quiet", "--", cut, check_status=False).stderr.decode().strip()
errors = run_operator(filepath=cut)
check(errors == [said] and "damaged:" in said and not bpy.data.objects,
      f"a damaged file: {errors}, the converter says {said}")
check(not run_operator(filepath=cut, salvage=True) and [o.name for o in bpy.data.objects] == ["cut"],
      f"a damaged file imported as read: {[o.name for o in bpy.data.objects]}")

# Hostile files (the fuzzers' corpus and pinned crashes): Blender is still
# here after each, and one that fails says so in the converter's words.
hostile = sorted(os.path.join(d, f) for d in args.hostile for f in os.listdir(d))
for path in hostile:
    clear()
    for mode in ("SMOOTH", "HOST"):
        errors = run_operator(filepath=path, normals=mode)
        done = converter("--quiet", "--trace", "-", "--", path, check_status=False)
        said = [line for line in done.stderr.decode("utf-8", "replace").splitlines()
                if line.startswith("ostrel: ") and not line.startswith("ostrel: warning:")]
        if done.returncode != 0:
            check(errors == said, f"hostile {path} ({mode}): {errors}, the converter says {said}")
        else:
            check(not errors or errors[0].endswith("polygons received)"),
                  f"hostile {path} ({mode}): {errors}, the converter imports it")
print(f"hostile files: Blender {VERSION} imported {len(hostile)} files and is still here")

if args.pictures:
    os.makedirs(args.pictures, exist_ok=True)
    clear()
    run_operator(filepath=os.path.abspath(args.models[0]))
    picture = os.path.join(args.pictures, f"cube-blender-{VERSION}.png")
    render(picture)
    image = bpy.data.images.load(picture)
    pixels = np.array(image.pixels[:]).reshape(-1, 4)[:, :3]
    sky = pixels[0]
    check(np.count_nonzero(np.abs(pixels - sky).max(axis=1) > 0.1) > len(pixels) // 20,
          f"the picture {picture} shows hardly anything but the sky")
    check_cylinders(args.pictures)

print(f"add-on checks: Blender {VERSION}: {object_checks.checks - object_checks.failures} passed, "
      f"{object_checks.failures} failed")
sys.exit(1 if object_checks.failures else 0)
