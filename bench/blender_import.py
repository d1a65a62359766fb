# The Blender add-on's import time against Blender's C++ OBJ importer
# (File > Import > Wavefront, wm.obj_import) reading the converter's OBJ of
# the same model (run by bench/blender-benchmark.sh, which prepares the
# files and the add-on):
#
#   blender -b --factory-startup --python bench/blender_import.py -- RUNS [NAME=VALUE] MODEL.rk4...
#
# MODEL.obj must lie beside each model file; NAME=VALUE sets one of the
# add-on's preferences first (the engine library to use). Each import goes
# into an empty scene, from the operator's call to the object in the scene;
# the three importers take turns, so that a load on the machine falls on all
# of them alike. Prints one Markdown row per model: the medians of RUNS on
# the clock, and the ratios of the medians of the process's CPU time.
import os
import statistics
import sys
import time

import bpy

arguments = sys.argv[sys.argv.index("--") + 1:]
runs = int(arguments[0])
preferences = dict(a.split("=", 1) for a in arguments[1:] if "=" in a)
models = [a for a in arguments[1:] if "=" not in a]


# The copy measured lies in the user's scripts, which Blender 3.x searches
# after its own: a copy installed for every user there (the Debian
# package's) would stand in for it unless it comes first.
ADDONS = os.path.join(os.environ["BLENDER_USER_SCRIPTS"], "addons")
sys.path.insert(0, ADDONS)


def empty_scene():
    bpy.ops.wm.read_factory_settings(use_empty=True)
    bpy.ops.preferences.addon_enable(module="io_import_ostrel")
    module = sys.modules["io_import_ostrel"].__file__
    if not module.startswith(ADDONS):
        sys.exit(f"the add-on measured would be {module}, not the copy in {ADDONS}")
    addon = bpy.context.preferences.addons["io_import_ostrel"].preferences
    for name, value in preferences.items():
        setattr(addon, name, value)


def timed(action):
    """The time on the clock and the process's CPU time (all its threads)."""
    empty_scene()
    start, cpu = time.perf_counter(), time.process_time()
    action()
    return time.perf_counter() - start, time.process_time() - cpu


version = ".".join(str(v) for v in bpy.app.version[:2])
for path in models:
    obj = os.path.splitext(path)[0] + ".obj"
    kinds = {
        "add-on": lambda: bpy.ops.import_scene.rk4(filepath=path),
        "host": lambda: bpy.ops.import_scene.rk4(filepath=path, normals="HOST"),
        "obj": lambda: bpy.ops.wm.obj_import(filepath=obj),
    }
    times = {k: [] for k in kinds}
    for _ in range(runs):
        for kind, action in kinds.items():
            times[kind].append(timed(action))
    empty_scene()
    bpy.ops.import_scene.rk4(filepath=path)
    mesh = next(o for o in bpy.data.objects if o.type == "MESH").data
    m = {k: statistics.median(w for w, _ in v) for k, v in times.items()}
    c = {k: statistics.median(u for _, u in v) for k, v in times.items()}
    print(f"| {version} | {os.path.basename(path)} | {len(mesh.vertices):,} | {len(mesh.polygons):,} "
          f"| {m['add-on']:.3f} s | {m['host']:.3f} s | {m['obj']:.3f} s "
          f"| {m['add-on'] / m['obj']:.2f}x | {m['host'] / m['obj']:.2f}x "
          f"| {c['add-on'] / c['obj']:.2f}x | {c['host'] / c['obj']:.2f}x |", flush=True)
