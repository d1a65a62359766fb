# File > Import > Model file (.rk4): imports model files through the Ostrel
# plug-in, run in Blender's process by the Ostrel engine (bundled, or set in
# the preferences), and builds each one as Blender objects from exactly what
# the plug-in hands its host.
bl_info = {
    "name": "Model files (.rk4)",
    "author": "The Ostrel developers",
    "version": (1, 4, 0),
    "blender": (3, 4, 0),
    "location": "File > Import > Model file (.rk4)",
    "description": "Imports ROKU4 model files through the Ostrel plug-in: points, n-gons, lines, "
                   "one material per surface, the plug-in's smoothing",
    "category": "Import-Export",
}

if "bpy" in locals():
    import importlib

    for _module in (engine, geometry, build, importer):  # noqa: F821
        importlib.reload(_module)

import os

import bpy
import numpy as np
from bpy.props import BoolProperty, CollectionProperty, EnumProperty, FloatProperty, StringProperty
from bpy.types import AddonPreferences, Operator, OperatorFileListElement
from bpy_extras.io_utils import ImportHelper, axis_conversion, orientation_helper

from . import build, engine, geometry, importer  # noqa: F401

AS_PROPOSED = ("FILE", "As the file proposes", "The value the plug-in proposes for each file")


class OstrelPreferences(AddonPreferences):
    bl_idname = __package__

    engine_path: StringProperty(
        name="Engine",
        description="The Ostrel engine library to load (leave empty for the one bundled with the "
                    "add-on). Needed where none is bundled, such as macOS",
        subtype="FILE_PATH",
    )

    def draw(self, context):
        layout = self.layout
        layout.prop(self, "engine_path")
        try:
            found = engine.find(self.engine_path)
            layout.label(text=f"Using {found.path}", icon="CHECKMARK")
        except engine.EngineError as e:
            layout.label(text=str(e), icon="ERROR")


def _preferences(context):
    addon = context.preferences.addons.get(__package__)
    return addon.preferences if addon else None


# What the plug-in proposes for a file, for the panel: read once per file
# version with the options panel cancelled.
_proposals = {}
PROPOSALS_UP_TO = 16 << 20  # bytes; a bigger file is not read just to show them


def proposals(found, path):
    """What the model file at `path` proposes (ostrel.Proposals), or None."""
    try:
        status = os.stat(path)
    except OSError:
        return None
    if status.st_size > PROPOSALS_UP_TO:
        return None
    key = (found.path, path, status.st_size, status.st_mtime_ns)
    if key not in _proposals:
        try:
            _proposals[key] = found.proposals(path)
        except engine.ostrel.Error:
            _proposals[key] = None
    return _proposals[key]


def describe(found):
    p = found.choices
    load = {0: "lines only", 1: "faces only"}.get(p.get("load"), "both")
    colours = {0: "bright", 2: "dark"}.get(p.get("colours"), "middle")
    smooth = f"smooth {p.get('angle') or 0:g}\u00b0" if p.get("smooth") else "flat"
    sides = "double-sided" if p.get("double_sided") else "single-sided"
    return f"{load}, {colours}, scale {p.get('scale') or 0:g}, {p.get('base_name') or ''}, {smooth}, {sides}"


@orientation_helper(axis_forward="-Z", axis_up="Y")
class ImportModelFile(Operator, ImportHelper):
    """Import model files (.rk4) through the Ostrel plug-in"""

    bl_idname = "import_scene.rk4"
    bl_label = "Import Model File"
    bl_options = {"REGISTER", "UNDO", "PRESET"}

    filename_ext = ".rk4"
    filter_glob: StringProperty(default="*.rk4", options={"HIDDEN"})
    files: CollectionProperty(type=OperatorFileListElement, options={"HIDDEN", "SKIP_SAVE"})
    directory: StringProperty(subtype="DIR_PATH", options={"HIDDEN", "SKIP_SAVE"})

    # The plug-in's panel, English with the panel's own Japanese.
    load_target: EnumProperty(
        name="Load 読み込み対象",
        items=(AS_PROPOSED,
               ("LINES", "Lines only 線のみ", "Only the lines, as loose edges"),
               ("FACES", "Faces only 面のみ", "Only the faces"),
               ("BOTH", "Both 両方", "Lines and faces")),
        default="FILE",
    )
    colour_set: EnumProperty(
        name="Colour 設定色",
        items=(AS_PROPOSED,
               ("BRIGHT", "Bright colour 明るい色", "Each palette entry's bright colour"),
               ("MIDDLE", "Middle 中間", "Halfway between bright and dark, with a highlight"),
               ("DARK", "Dark colour 暗い色", "Each palette entry's dark colour")),
        default="FILE",
    )
    set_scale: BoolProperty(name="Set Scale", description="Use this scale instead of the file's")
    scale: FloatProperty(name="Scale", default=8.0, soft_min=0.001, soft_max=1000.0,
                         description="Scale factor applied by the plug-in (it proposes 8)")
    set_name: BoolProperty(name="Set Surface Name",
                           description="Use this name instead of the file's")
    surface_name: StringProperty(
        name="Surface Name",
        description="Surface names are made by appending 0 to 15 to this name "
                    "(上記名称の後ろに 0～15を連結したサーフェイス名を生成します。)",
    )
    smooth: EnumProperty(
        name="Smooth",
        items=(AS_PROPOSED, ("ON", "On", "Smooth surfaces"), ("OFF", "Off", "Flat surfaces")),
        default="FILE",
    )
    set_angle: BoolProperty(name="Set Smoothing Angle",
                            description="Use this angle instead of the one proposed")
    smoothing_angle: FloatProperty(
        name="Smoothing Angle", default=44.5, soft_min=0.0, soft_max=180.0, precision=1,
        description="Degrees: faces meeting at less than this shade smoothly (44.5 proposed)")
    double_sided: EnumProperty(
        name="Double Sided",
        items=(AS_PROPOSED,
               ("ON", "On", "Both sides of every face are shown"),
               ("OFF", "Off", "Only the front of each face is shown (back-face culling)")),
        default="FILE",
    )

    # Blender's side.
    normals: EnumProperty(
        name="Normals",
        items=(("SMOOTH", "Smooth by Angle",
                "Smooth faces, the smoothing angle and sharp edges where surfaces meet: Blender "
                "computes the normals and keeps them right as the mesh is edited"),
               ("HOST", "As the Host Shades",
                "Also store the host's own corner normals as custom normals: exact, but they "
                "stay as they are when the mesh is edited")),
        default="SMOOTH",
    )

    def plugin_options(self):
        return importer.Options(
            load=self.load_target,
            colours=self.colour_set,
            scale=self.scale if self.set_scale else None,
            name=self.surface_name if self.set_name else None,
            smooth=self.smooth,
            angle=self.smoothing_angle if self.set_angle else None,
            double_sided=self.double_sided,
        )

    def paths(self):
        if self.files and self.files[0].name:
            return [os.path.join(self.directory, f.name) for f in self.files]
        return [self.filepath]

    def draw(self, context):
        layout = self.layout
        layout.use_property_split = True
        layout.use_property_decorate = False

        box = layout.box()
        box.label(text="Plug-in Options", icon="IMPORT")
        try:
            self._draw_proposals(context, box)
        except (OSError, ValueError, AttributeError):
            pass  # the options stay usable without the file's proposals
        box.prop(self, "load_target")
        box.prop(self, "colour_set")
        for switch, value in (("set_scale", "scale"), ("set_name", "surface_name")):
            row = box.row(heading=self.bl_rna.properties[value].name)
            row.prop(self, switch, text="")
            sub = row.row()
            sub.active = getattr(self, switch)
            sub.prop(self, value, text="")
        box.prop(self, "smooth")
        row = box.row(heading="Smoothing Angle")
        row.prop(self, "set_angle", text="")
        sub = row.row()
        sub.active = self.set_angle
        sub.prop(self, "smoothing_angle", text="")
        box.prop(self, "double_sided")

        box = layout.box()
        box.label(text="Blender", icon="BLENDER")
        box.prop(self, "normals")
        box.prop(self, "axis_forward")
        box.prop(self, "axis_up")

    def _draw_proposals(self, context, box):
        """The statistics line and the proposals of the one file selected."""
        params = getattr(context.space_data, "params", None)
        if params is None or not params.filename:
            return
        directory = params.directory
        if isinstance(directory, bytes):
            directory = directory.decode("utf-8", "surrogateescape")
        prefs = _preferences(context)
        try:
            found = engine.find(prefs.engine_path if prefs else "")
        except engine.EngineError:
            return
        proposed = proposals(found, os.path.join(directory, params.filename))
        if proposed is None or not proposed.statistics:
            return
        column = box.column(align=True)
        column.label(text=proposed.statistics)
        column.label(text="Proposes: " + describe(proposed))

    def execute(self, context):
        prefs = _preferences(context)
        try:
            found = engine.find(prefs.engine_path if prefs else "")
        except engine.EngineError as e:
            self.report({"ERROR"}, str(e))
            return {"CANCELLED"}
        axes = np.array(axis_conversion(from_forward=self.axis_forward, from_up=self.axis_up))
        options = self.plugin_options()

        for obj in context.view_layer.objects:
            obj.select_set(False)
        collection = context.collection
        made, failed = [], 0
        for path in self.paths():
            outcome = importer.read(path, found, options, axes)
            for warning in outcome.warnings:
                self.report({"WARNING"}, warning)
            if outcome.error:
                self.report({"ERROR"}, outcome.error)
                failed += 1
                continue
            name = importer.object_name(path)
            mesh = build.build_mesh(name, outcome.data, self.normals == "HOST")
            obj = bpy.data.objects.new(name, mesh)
            collection.objects.link(obj)
            obj.select_set(True)
            made.append(obj)
        if made:
            context.view_layer.objects.active = made[-1]
        if failed and not made:
            return {"CANCELLED"}
        self.report({"INFO"}, f"Imported {len(made)} model file(s)"
                              + (f", {failed} failed" if failed else ""))
        return {"FINISHED"}


def menu_import(self, context):
    self.layout.operator(ImportModelFile.bl_idname, text="Model file (.rk4)")


classes = (OstrelPreferences, ImportModelFile)


def register():
    for cls in classes:
        bpy.utils.register_class(cls)
    bpy.types.TOPBAR_MT_file_import.append(menu_import)


def unregister():
    bpy.types.TOPBAR_MT_file_import.remove(menu_import)
    for cls in reversed(classes):
        bpy.utils.unregister_class(cls)
