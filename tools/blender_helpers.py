# What the scripts run inside Blender share (tools/blender-check.py,
# tools/render-pictures.py, blender/tests/check-addon.py): reading a call
# trace line by line, the colours a surface block gives, and one way to
# light, frame and render a scene.
import math

import bpy
from mathutils import Vector


class TraceCalls:
    """The import calls of a trace, read one line at a time."""

    def __init__(self):
        self.points = []  # (x, y, z) as sent
        self.polygons = []  # (surface value, [point numbers])
        self.values = {}  # surface name (text, latin-1) -> value
        self.blocks = {}  # surface name -> block bytes


def read_trace(path):
    calls = TraceCalls()
    for line in open(path, encoding="latin-1"):
        words = line.split()
        if not words:
            continue
        if words[0] == "addPoints":
            calls.points.append(tuple(float(x) for x in words[1:4]))
        elif words[0] == "addPolygon":
            calls.polygons.append((int(words[2]), [int(p) for p in words[3:]]))
        elif words[0] == "lookupSurface":
            calls.values[words[1].strip('"')] = int(words[-1])
        elif words[0] == "storeSurfaceData" and len(words) == 4:
            calls.blocks[words[1].strip('"')] = bytes.fromhex(words[3])
    return calls


def srgb_to_linear(c):
    return c / 12.92 if c <= 0.04045 else ((c + 0.055) / 1.055) ** 2.4


def expected_colour(block, linear):
    """The block's colour (COLR) times its diffuse level (DIFF), 0..1, made
    linear from sRGB or not."""
    diffuse = (block[34] << 8 | block[35]) / 256
    rgb = [b / 255 for b in block[6:9]]
    if linear:
        return [min(1.0, srgb_to_linear(c) * diffuse) for c in rgb]
    return [c * diffuse for c in rgb]


def base_colour(material):
    if material.use_nodes:
        for node in material.node_tree.nodes:
            if node.type == "BSDF_PRINCIPLED":
                return list(node.inputs["Base Color"].default_value)[:3]
    return list(material.diffuse_color)[:3]


def render(path, width=320, height=240, samples=24):
    """Renders the current scene's meshes into the PNG `path` with Cycles on
    the CPU: seen from the front right and above, the whole object in view,
    a sun and a dusky blue sky that sets off light grey faces, a few samples,
    no denoising."""
    scene = bpy.context.scene
    points = []
    for o in scene.objects:
        if o.type == "MESH":
            points += [o.matrix_world @ v.co for v in o.data.vertices]
    centre = sum(points, Vector()) / max(len(points), 1)
    radius = max([(p - centre).length for p in points] + [1e-3])

    camera = bpy.data.objects.new("camera", bpy.data.cameras.new("camera"))
    scene.collection.objects.link(camera)
    camera.data.lens = 50
    direction = Vector((1.0, -1.6, 1.0)).normalized()
    scene.render.resolution_x, scene.render.resolution_y = width, height
    fit = radius / math.sin(camera.data.angle_y / 2) * 1.1  # the narrower, vertical angle
    camera.location = centre + direction * fit
    camera.rotation_euler = (-direction).to_track_quat("-Z", "Y").to_euler()
    scene.camera = camera

    sun = bpy.data.objects.new("sun", bpy.data.lights.new("sun", "SUN"))
    sun.data.energy = 3.5
    sun.rotation_euler = (math.radians(50), math.radians(10), math.radians(30))
    scene.collection.objects.link(sun)
    world = bpy.data.worlds.new("world")
    world.use_nodes = True
    world.node_tree.nodes["Background"].inputs["Color"].default_value = (0.22, 0.27, 0.36, 1)
    world.node_tree.nodes["Background"].inputs["Strength"].default_value = 0.6
    scene.world = world

    scene.render.engine = "CYCLES"
    scene.cycles.device = "CPU"
    scene.cycles.samples = samples
    scene.cycles.use_denoising = False
    scene.render.resolution_percentage = 100
    scene.render.image_settings.file_format = "PNG"
    scene.render.image_settings.color_mode = "RGB"
    scene.render.image_settings.compression = 100
    scene.render.filepath = path
    bpy.ops.render.render(write_still=True)
