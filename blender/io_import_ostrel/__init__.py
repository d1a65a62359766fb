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


def describe(proposed):
    """What a file proposes, in words: each choice's item or value, as the
    engine names the controls."""
    parts = []
    for c in proposed.controls:
        if c.choice is None:
            continue
        if c.kind == "choice":
            item = int(c.proposed)
            known = 0 <= item < len(c.lines)
            parts.append((c.lines_english[item] or c.lines[item]) if known else str(item))
        elif c.kind == "switch":
            parts.append(f"{c.label} {'on' if c.proposed else 'off'}")
        elif c.kind == "number":
            parts.append(f"{c.label} {c.proposed:g}")
        else:
            parts.append(str(c.proposed))
    return ", ".join(parts)


# The plug-in's panel as the engine hands it (ostrel.Control, in its
# order), read once when the add-on is enabled: the operator's options are
# made from it, each "as the file proposes" until set. Empty when no engine
# is found then: the files import as they propose.
_controls = ()
SWITCH_ITEMS = (AS_PROPOSED, ("ON", "On", "On"), ("OFF", "Off", "Off"))


def _title(control):
    """The control's label, in English first where the plug-in's is not."""
    return f"{control.english} {control.label}" if control.english else control.label


def plugin_properties(controls):
    """The operator's properties for the panel's controls: a choice's items
    (by item number) and a switch as enumerations, a number or a text with a
    toggle that sets it, the number starting at what the plug-in proposes."""
    properties = {}
    for c in controls:
        if c.choice is None:
            continue
        name = _title(c)
        if c.kind == "choice":
            items = [AS_PROPOSED] + [
                (str(i), f"{(c.lines_english[i] or '').capitalize()} {item}".strip(), item)
                for i, item in enumerate(c.lines)]
            properties[c.choice] = EnumProperty(name=name, items=items, default="FILE")
        elif c.kind == "switch":
            properties[c.choice] = EnumProperty(name=name, items=SWITCH_ITEMS, default="FILE")
        elif c.kind in ("number", "edit"):
            properties["set_" + c.choice] = BoolProperty(
                name=f"Set {c.label}", description="Use this value instead of the file's")
            if c.kind == "number":
                properties[c.choice] = FloatProperty(
                    name=name, default=c.proposed,
                    description=f"{c.label} (the plug-in proposes {c.proposed:g})")
            else:
                properties[c.choice] = StringProperty(name=name, description=c.label)
    return properties


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

    # A damaged file (cut short, a keyword misspelt, numbers unreadable) is
    # reported and left out unless this asks for what was read.
    salvage: BoolProperty(
        name="Import Damaged Files as Read",
        description="A model file the reader lost the structure of (cut short, a keyword "
                    "misspelt, numbers it cannot read) is imported as far as it was read. "
                    "Either way the report names it damaged, and why",
        default=False,
    )

    def plugin_choices(self):
        """The choices as ostrel.load takes them; None: as the file proposes."""
        choices = {}
        for c in _controls:
            if c.choice is None:
                continue
            value = getattr(self, c.choice)
            if c.kind == "choice":
                choices[c.choice] = None if value == "FILE" else int(value)
            elif c.kind == "switch":
                choices[c.choice] = {"ON": True, "OFF": False}.get(value)
            elif c.kind in ("number", "edit"):
                choices[c.choice] = value if getattr(self, "set_" + c.choice) else None
        return choices

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
        for c in _controls:
            if c.choice is None:
                # A note with its meaning in English (the name's, under it).
                for line, english in zip(c.lines, c.lines_english):
                    if english:
                        box.label(text=f"{english} ({line})")
            elif c.kind in ("number", "edit"):
                row = box.row(heading=_title(c))
                row.prop(self, "set_" + c.choice, text="")
                sub = row.row()
                sub.active = getattr(self, "set_" + c.choice)
                sub.prop(self, c.choice, text="")
            elif c.kind in ("choice", "switch"):
                box.prop(self, c.choice)

        box.prop(self, "salvage")

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
        choices = self.plugin_choices()

        for obj in context.view_layer.objects:
            obj.select_set(False)
        collection = context.collection
        made, failed, damaged = [], 0, 0
        for path in self.paths():
            outcome = importer.read(path, found, choices, axes, self.salvage)
            for warning in outcome.warnings:
                self.report({"WARNING"}, warning)
            damaged += 1 if outcome.damaged else 0
            if outcome.error:
                self.report({"ERROR"}, outcome.error)
                failed += 0 if outcome.damaged else 1
                continue
            name = importer.object_name(path)
            mesh = build.build_mesh(name, outcome.data, self.normals == "HOST")
            obj = bpy.data.objects.new(name, mesh)
            collection.objects.link(obj)
            obj.select_set(True)
            made.append(obj)
        if made:
            context.view_layer.objects.active = made[-1]
        if (failed or damaged) and not made:
            return {"CANCELLED"}
        self.report({"INFO"}, f"Imported {len(made)} model file(s)"
                              + (f", {damaged} damaged" if damaged else "")
                              + (f", {failed} failed" if failed else ""))
        return {"FINISHED"}


def menu_import(self, context):
    self.layout.operator(ImportModelFile.bl_idname, text="Model file (.rk4)")


classes = (OstrelPreferences, ImportModelFile)


def register():
    global _controls
    try:
        prefs = _preferences(bpy.context)
        _controls = engine.find(prefs.engine_path if prefs else "").panel().controls
    except (engine.EngineError, engine.ostrel.Error, AttributeError):
        _controls = ()
    ImportModelFile.__annotations__.update(plugin_properties(_controls))
    for cls in classes:
        bpy.utils.register_class(cls)
    bpy.types.TOPBAR_MT_file_import.append(menu_import)


def unregister():
    bpy.types.TOPBAR_MT_file_import.remove(menu_import)
    for cls in reversed(classes):
        bpy.utils.unregister_class(cls)
