# The Blender add-on's import time against Blender's own OBJ importers
# reading the converter's OBJ of the same model (run by
# bench/blender-benchmark.sh, which prepares the files and the add-on):
#
#   blender -b --factory-startup --python bench/blender_import.py -- RUNS MODEL.rk4...
#
# MODEL.obj (the converter's) must lie beside each model file. Per model and
# importer the best wall time of RUNS, each into an empty scene; the add-on's
# time covers everything a user waits for (the converter's run, reading its
# output, building the mesh and materials), and its parts are timed apart.
import os
import sys
import time

import bpy
import numpy as np
from bpy_extras.io_utils import axis_conversion

runs = int(sys.argv[sys.argv.index("--") + 1])
models = sys.argv[sys.argv.index("--") + 2:]

bpy.ops.preferences.addon_enable(module="io_import_ostrel")
bpy.ops.preferences.addon_enable(module="io_scene_obj")
import io_import_ostrel as addon  # noqa: E402

converter = addon.converter.find(os.environ.get("OSTREL_CONVERTER", ""))
axes = np.array(axis_conversion(from_forward="-Z", from_up="Y"))


def empty_scene():
    bpy.ops.wm.read_factory_settings(use_empty=True)
    bpy.ops.preferences.addon_enable(module="io_import_ostrel")
    bpy.ops.preferences.addon_enable(module="io_scene_obj")
    bpy.context.preferences.addons["io_import_ostrel"].preferences.converter_path = converter


def best(action):
    times = []
    for _ in range(runs):
        empty_scene()
        start = time.perf_counter()
        action()
        times.append(time.perf_counter() - start)
    return min(times)


def parts(path):
    """The add-on's steps, each timed on its own (best of the runs)."""
    timing = {}
    for _ in range(runs):
        empty_scene()
        start = time.perf_counter()
        reader = addon.lwob
        run = addon.converter.run(converter, path, lwob=True)
        if run.returncode == addon.converter.NOT_WRITTEN:
            reader = addon.trace
            run = addon.converter.run(converter, path)
        t1 = time.perf_counter()
        received = reader.parse(run.output)
        t2 = time.perf_counter()
        data = addon.geometry.mesh_data(received, axes)
        t3 = time.perf_counter()
        addon.build.build_mesh("bench", data)
        t4 = time.perf_counter()
        for name, value in (("converter", t1 - start), ("trace", t2 - t1), ("arrays", t3 - t2),
                            ("mesh", t4 - t3)):
            timing[name] = min(timing.get(name, value), value)
    return timing, f"{reader.__name__.split('.')[-1]} {len(run.output) / 1e6:.1f} MB", received, data


print("| model | points | polygons | read from | add-on | (converter + reading + arrays + mesh) "
      "| host normals | OBJ | wm.obj_import | import_scene.obj |")
print("|---|---|---|---|---|---|---|---|---|---|")
for path in models:
    obj = os.path.splitext(path)[0] + ".obj"
    timing, read_from, received, data = parts(path)
    addon_time = best(lambda: bpy.ops.import_scene.rk4(filepath=path))
    host_time = best(lambda: bpy.ops.import_scene.rk4(filepath=path, normals="HOST"))
    obj_new = best(lambda: bpy.ops.wm.obj_import(filepath=obj))
    obj_old = best(lambda: bpy.ops.import_scene.obj(filepath=obj))
    print(f"| {os.path.basename(path)} ({os.path.getsize(path) / 1e6:.1f} MB) | {len(received.points):,} "
          f"| {len(data.face_sizes):,} faces, {len(data.loose_edges):,} lines "
          f"| {read_from} | {addon_time:.2f} s "
          f"| {timing['converter']:.2f} + {timing['trace']:.2f} + {timing['arrays']:.2f} + "
          f"{timing['mesh']:.2f} s | {host_time:.2f} s "
          f"| {os.path.getsize(obj) / 1e6:.1f} MB | {obj_new:.2f} s | {obj_old:.2f} s |", flush=True)
