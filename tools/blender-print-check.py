# Imports STL and PLY files with Blender's own importers and checks that
# every face arrived:
#   blender -b --python-exit-code 1 --python tools/blender-print-check.py -- FILE COUNT ...
# COUNT is the polygons the file must give: an STL's triangles, a PLY's
# faces (kept as polygons). One line per file; exits 1 on any mismatch.
import sys

import bpy


def import_file(path):
    bpy.ops.wm.read_factory_settings(use_empty=True)
    stl = path.endswith(".stl")
    # Blender 3.x: the add-ons' importers; 4.x: the built-in ones.
    if ("stl_import" if stl else "ply_import") in dir(bpy.ops.wm):
        (bpy.ops.wm.stl_import if stl else bpy.ops.wm.ply_import)(filepath=path)
    else:
        (bpy.ops.import_mesh.stl if stl else bpy.ops.import_mesh.ply)(filepath=path)
    return sum(len(o.data.polygons) for o in bpy.context.scene.objects if o.type == "MESH")


arguments = sys.argv[sys.argv.index("--") + 1:]
failures = 0
for path, count in zip(arguments[::2], arguments[1::2]):
    got = import_file(path)
    if got == int(count):
        print(f"blender: {path}: ok")
    else:
        print(f"blender: {path}: {got} polygons, expected {count}")
        failures += 1
sys.exit(1 if failures else 0)
