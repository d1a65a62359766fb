# Renders converted .glb files, and model files imported by the Blender
# add-on, as Blender shows them (Cycles on the CPU, a few samples, no
# denoising, small pictures):
#   blender -b --python tools/render-pictures.py -- OUT_DIR FILE.glb|MODEL.rk4...
# writes OUT_DIR/NAME.png per .glb file, OUT_DIR/blender-NAME.png per model
# file. A model file needs the add-on (io_import_ostrel) among the add-ons
# Blender finds, and the engine library in OSTREL_ENGINE when none is
# bundled. tools/make-pictures.sh calls this; not part of the tests.
import numpy

numpy.bool = bool  # Blender 3.4's glTF importer still uses the removed alias

import os
import sys

import bpy

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from blender_helpers import render  # noqa: E402

args = sys.argv[sys.argv.index("--") + 1 :]
out_dir, files = args[0], args[1:]

for path in files:
    bpy.ops.wm.read_factory_settings(use_empty=True)
    name = os.path.splitext(os.path.basename(path))[0]
    if path.endswith(".rk4"):
        bpy.ops.preferences.addon_enable(module="io_import_ostrel")
        preferences = bpy.context.preferences.addons["io_import_ostrel"].preferences
        preferences.engine_path = os.environ.get("OSTREL_ENGINE", "")
        bpy.ops.import_scene.rk4(filepath=path)
        name = "blender-" + name
    else:
        bpy.ops.import_scene.gltf(filepath=path)
    render(os.path.join(out_dir, name + ".png"))
