# Renders converted .glb files as Blender shows them (Cycles on the CPU, a
# few samples, no denoising, small pictures):
#   blender -b --python tools/render-pictures.py -- OUT_DIR FILE.glb...
# writes OUT_DIR/NAME.png per file. tools/make-pictures.sh converts the
# examples and calls this; not part of the tests.
import numpy

numpy.bool = bool  # Blender 3.4's glTF importer still uses the removed alias

import math
import os
import sys

import bpy
from mathutils import Vector

args = sys.argv[sys.argv.index("--") + 1 :]
out_dir, files = args[0], args[1:]

for path in files:
    bpy.ops.wm.read_factory_settings(use_empty=True)
    bpy.ops.import_scene.gltf(filepath=path)
    scene = bpy.context.scene

    # Aimed at the mean of the points, far enough for all of them.
    points = []
    for o in scene.objects:
        if o.type == "MESH":
            points += [o.matrix_world @ v.co for v in o.data.vertices]
    centre = sum(points, Vector()) / max(len(points), 1)
    radius = max([(p - centre).length for p in points] + [1e-3])

    # Seen from the front right and above, the whole object in view.
    camera = bpy.data.objects.new("camera", bpy.data.cameras.new("camera"))
    scene.collection.objects.link(camera)
    camera.data.lens = 50
    direction = Vector((1.0, -1.6, 1.0)).normalized()
    scene.render.resolution_x, scene.render.resolution_y = 320, 240
    fit = radius / math.sin(camera.data.angle_y / 2) * 1.1 # the narrower, vertical angle
    camera.location = centre + direction * fit
    camera.rotation_euler = (-direction).to_track_quat("-Z", "Y").to_euler()
    scene.camera = camera

    sun = bpy.data.objects.new("sun", bpy.data.lights.new("sun", "SUN"))
    sun.data.energy = 3.5
    sun.rotation_euler = (math.radians(50), math.radians(10), math.radians(30))
    scene.collection.objects.link(sun)
    world = bpy.data.worlds.new("world")
    world.use_nodes = True
    world.node_tree.nodes["Background"].inputs["Color"].default_value = (0.6, 0.65, 0.7, 1)
    world.node_tree.nodes["Background"].inputs["Strength"].default_value = 0.6
    scene.world = world

    scene.render.engine = "CYCLES"
    scene.cycles.device = "CPU"
    scene.cycles.samples = 24
    scene.cycles.use_denoising = False
    scene.render.resolution_x = 320
    scene.render.resolution_y = 240
    scene.render.resolution_percentage = 100
    scene.render.image_settings.file_format = "PNG"
    scene.render.image_settings.color_mode = "RGB"
    scene.render.image_settings.compression = 100
    scene.render.filepath = os.path.join(
        out_dir, os.path.splitext(os.path.basename(path))[0] + ".png"
    )
    bpy.ops.render.render(write_still=True)
