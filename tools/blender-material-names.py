# Imports each file with Blender's own importer and prints the names of the
# materials it made, sorted, one line per file:
#   materials<TAB>FILE<TAB>NAME<TAB>NAME...
# Run headless: blender -b --factory-startup --python THIS -- FILE.obj FILE.glb FILE.gltf FILE.fbx
# A file that fails to import prints "failed<TAB>FILE<TAB>REASON" instead.

# Blender 3.4's glTF importer still uses numpy.bool, which numpy 1.24 removed.
import numpy

numpy.bool = bool

import sys

import bpy

IMPORTERS = {
    ".obj": lambda path: bpy.ops.wm.obj_import(filepath=path),
    ".glb": lambda path: bpy.ops.import_scene.gltf(filepath=path),
    ".gltf": lambda path: bpy.ops.import_scene.gltf(filepath=path),
    ".fbx": lambda path: bpy.ops.import_scene.fbx(filepath=path),
}

for path in sys.argv[sys.argv.index("--") + 1 :]:
    bpy.ops.wm.read_factory_settings(use_empty=True)
    extension = path[path.rfind(".") :].lower()
    try:
        result = IMPORTERS[extension](path)
        if "FINISHED" not in result:
            raise RuntimeError("importer returned " + ", ".join(sorted(result)))
    except Exception as e:  # one line per file whatever the importer does
        print("failed\t%s\t%s" % (path, str(e).replace("\n", " ")), flush=True)
        continue
    names = sorted(m.name for m in bpy.data.materials)
    print("\t".join(["materials", path] + names), flush=True)
