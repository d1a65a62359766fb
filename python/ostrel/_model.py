# What one import hands over, as Python records: the model's arrays as
# read-only numpy views of the engine's own memory (no copy; the import's
# handle lives as long as any of them, or the model, does), its surfaces,
# warnings, counts and the panel's proposals; and the errors an import ends
# with, in the command line's words.
from __future__ import annotations

import ctypes
from dataclasses import dataclass
from typing import Dict, NamedTuple, Optional, Tuple, Union

import numpy as np

from ._library import (Colours, ControlKind, ControlRecord, Count, Edit, Load, MaterialRecord,
                       MeshArray, MeshCount, Result, SurfaceRecord)

Choice = Union[Load, Colours, float, str, bool]


class Error(Exception):
    """An import that did not load. str(error) is the reason, as the command
    line says it after "ostrel: NAME: "; `result` says how it ended, `name`
    is the model's name, `warnings` and `statistics` what came before."""

    def __init__(self, reason: str, result: Result = Result.REFUSED, name: str = "",
                 warnings: Tuple[str, ...] = (), statistics: str = ""):
        super().__init__(reason)
        self.reason, self.result, self.name = reason, result, name
        self.warnings, self.statistics = warnings, statistics


class EngineError(Error):
    """No engine library could be loaded (the message says which and why)."""


class NotModelFile(Error):
    """The file is not a model file."""


class CannotRead(Error):
    """The file cannot be read."""


class Cancelled(Error):
    """The options panel was cancelled."""


class Refused(Error):
    """The plug-in refused, or a host call failed."""


class HostRefused(Error):
    """The host refused a call the plug-in made."""


class NotConverted(Error):
    """The model loaded, but the output could not be made."""


class OutOfMemory(Error, MemoryError):
    """Memory ran out in the engine."""


class BadRequest(Error, ValueError):
    """The engine could not take the request (no model name, ...)."""


class NothingToImport(Error):
    """The model held nothing that reached the host (the magic alone)."""


class Damaged(Error):
    """The model file is damaged: the reader lost its structure (cut short, a
    keyword misspelt, numbers it cannot read). str(error) says where and why;
    load(..., salvage=True) loads what was read instead."""


ERRORS = {Result.NOT_MODEL_FILE: NotModelFile, Result.CANNOT_READ: CannotRead,
          Result.CANCELLED: Cancelled, Result.REFUSED: Refused,
          Result.HOST_REFUSED: HostRefused, Result.NOT_CONVERTED: NotConverted,
          Result.OUT_OF_MEMORY: OutOfMemory, Result.BAD_REQUEST: BadRequest,
          Result.NOTHING_TO_IMPORT: NothingToImport, Result.DAMAGED: Damaged}


class Counts(NamedTuple):
    """As the command line's status line counts them."""

    points: int
    polygons: int  # polygons with points
    dropped: int  # polygons without
    surfaces: int  # surfaces looked up


@dataclass(frozen=True)
class Surface:
    """A surface looked up, with the attributes of the last block stored
    under its name (without one: has_block False, grey, flat, one-sided)."""

    name: str
    name_bytes: bytes  # as the plug-in made it
    has_block: bool
    colour: Tuple[int, int, int]  # red, green, blue, 0..255
    smooth: bool
    smoothing_angle: float  # radians, as the block holds it
    double_sided: bool
    diffuse: float  # 1 = 100 %
    transparency: float
    specular: float
    glossiness: float

    @classmethod
    def of(cls, r: SurfaceRecord) -> "Surface":
        return cls(name=r.name.decode("utf-8", "replace"),
                   name_bytes=ctypes.string_at(r.nameBytes, r.nameSize) if r.nameSize else b"",
                   has_block=bool(r.hasBlock), colour=(r.red, r.green, r.blue),
                   smooth=bool(r.smooth), smoothing_angle=r.smoothingAngle,
                   double_sided=bool(r.doubleSided), diffuse=r.diffuse,
                   transparency=r.transparency, specular=r.specular, glossiness=r.glossiness)


@dataclass(frozen=True)
class Control:
    """A control of the plug-in's panel, as the engine hands it: for a front
    end to present, with no rule of its own.

    choice: the name of the choice it answers (as load() takes it), or
    None (a note, the statistics); kind: "text", "choice", "number",
    "edit", "switch" or "other"; label and label_bytes: as the plug-in made
    it; english: its meaning where it is not English ("" none); lines: a
    choice's items or a text's lines, lines_english their meanings;
    proposed: what the plug-in proposed (a choice's item number, a switch's
    1 or 0, a number, an edit's text)."""

    choice: Optional[str]
    kind: str
    label: str
    label_bytes: bytes
    english: str
    lines: Tuple[str, ...]
    lines_english: Tuple[str, ...]
    proposed: Union[float, str]


@dataclass(frozen=True)
class Material:
    """A surface's material, the one rule every front end shows it by (the
    converter's glb, its FBX and OBJ, the web page, the Blender add-on), in
    the metallic-roughness terms of glTF and Blender; each value 0..1."""

    base_colour: Tuple[float, float, float]  # red, green, blue, linear light
    alpha: float
    roughness: float
    specular: float  # the specular level, for shaders that take it
    metallic: float
    double_sided: bool
    blend: bool  # alpha below 1

    @classmethod
    def of(cls, r: MaterialRecord) -> "Material":
        return cls(base_colour=(r.red, r.green, r.blue), alpha=r.alpha, roughness=r.roughness,
                   specular=r.specular, metallic=r.metallic, double_sided=bool(r.doubleSided),
                   blend=bool(r.blend))


# The edge mesh's arrays: numpy type and values per item, as the header has them.
MESH_ARRAYS = {MeshArray.FACE_STARTS: (np.int32, 1), MeshArray.FACE_SIZES: (np.int32, 1),
               MeshArray.FACE_SURFACES: (np.int32, 1), MeshArray.FACE_POLYGONS: (np.int32, 1),
               MeshArray.FACE_FLAT: (np.bool_, 1), MeshArray.CORNER_POINTS: (np.int32, 1),
               MeshArray.CORNER_EDGES: (np.int32, 1), MeshArray.CORNER_NORMALS: (np.float32, 3),
               MeshArray.EDGE_POINTS: (np.int32, 2), MeshArray.EDGE_SHARP: (np.bool_, 1)}


class EdgeMesh:
    """The object as faces and edges: what a mesh of edges (Blender's) is
    filled from, array by array, in Blender's types. The polygons of three
    points or more as faces (one that runs through a point more than once
    as the simple loops it is made of, each once), every edge once (the
    lines first), and the host's shading as flags.

    face_starts, face_sizes  (F,) int32: each face's first corner, corners
    face_surfaces            (F,) int32: index into the model's surfaces
    face_polygons            (F,) int32: the polygon each face comes from
    face_flat                (F,) bool: the host shades the face flat (its
                             surface has no smoothing, or all its corners
                             one normal)
    corner_points            (C,) int32: each face corner's point
    corner_edges             (C,) int32: the edge to the face's next corner
    corner_normals           (C, 3) float32: the host's normal there
    edge_points              (E, 2) int32: each edge's points
    edge_sharp               (E,) bool: the host's shading breaks there
                             (two surfaces meet, or faces beyond the angle)
    split_polygons, split_faces  polygons cut into simple loops, and the
                             faces they became
    smoothing_angle          radians, 0..pi, within which the first smooth
                             face's surface smooths as the host compares it;
                             None when every face is flat
    """

    def __init__(self, handle: "Handle"):
        lib, h = handle.library, handle.pointer
        count = ctypes.c_size_t()
        for array, (dtype, width) in MESH_ARRAYS.items():
            pointer = lib.ostrel_mesh_array(h, array, ctypes.byref(count))
            setattr(self, array.name.lower(), handle.view(pointer, count.value, dtype, width))
        self.split_polygons = lib.ostrel_mesh_count(h, MeshCount.SPLIT_POLYGONS)
        self.split_faces = lib.ostrel_mesh_count(h, MeshCount.SPLIT_FACES)
        angle = lib.ostrel_mesh_smoothing_angle(h)
        self.smoothing_angle = angle if angle >= 0 else None


# The choices' names in Python, by the edit they are.
CHOICES = {"load": Edit.LOAD, "colours": Edit.COLOURS, "scale": Edit.SCALE,
           "base_name": Edit.NAME, "smooth": Edit.SMOOTH, "angle": Edit.ANGLE,
           "double_sided": Edit.DOUBLE_SIDED}
# How a proposal comes back: the choices as their items, the switches as bools.
_PROPOSAL_TYPE = {Edit.LOAD: Load, Edit.COLOURS: Colours, Edit.SMOOTH: bool,
                  Edit.DOUBLE_SIDED: bool, Edit.SCALE: float, Edit.ANGLE: float}


def _as(kind, number: float):
    """A proposed number as its choice's type; an item the choice does not
    name stays the number the panel holds."""
    if kind is float:
        return number
    try:
        return kind(int(number))
    except ValueError:
        return int(number)


class Handle:
    """One ostrel_import, freed when the last model or view of it goes."""

    def __init__(self, library: ctypes.CDLL, pointer: int):
        self.library, self.pointer = library, pointer

    def __del__(self):
        if self.pointer:
            self.library.ostrel_import_free(self.pointer)
            self.pointer = None

    def text(self, function, *arguments) -> str:
        return getattr(self.library, function)(self.pointer, *arguments).decode("utf-8", "replace")

    def view(self, pointer: Optional[int], rows: int, dtype, width: int = 1) -> np.ndarray:
        """A read-only view of `rows` rows at the engine's `pointer`, which
        keeps this handle alive."""
        shape = (rows, width) if width > 1 else (rows,)
        if not rows or not pointer:
            empty = np.zeros(shape, dtype)
            empty.flags.writeable = False
            return empty
        size = rows * width * np.dtype(dtype).itemsize
        memory = (ctypes.c_char * size).from_address(pointer)
        memory.owner = self
        return np.frombuffer(memoryview(memory).toreadonly(), dtype).reshape(shape)

    def warnings(self) -> Tuple[str, ...]:
        count = self.library.ostrel_warning_count(self.pointer)
        return tuple(self.text("ostrel_warning", i) for i in range(count))

    def proposals(self) -> Dict[str, Choice]:
        out = {}
        number, text = ctypes.c_double(), ctypes.c_char_p()
        for choice, edit in CHOICES.items():
            if self.library.ostrel_proposal(self.pointer, edit, ctypes.byref(number),
                                            ctypes.byref(text)):
                kind = _PROPOSAL_TYPE.get(edit)
                out[choice] = (text.value.decode("utf-8", "replace") if kind is None
                               else _as(kind, number.value))
        return out

    def controls(self) -> Tuple[Control, ...]:
        lib, h, record = self.library, self.pointer, ControlRecord()
        names = {int(edit): choice for choice, edit in CHOICES.items()}
        out = []
        for i in range(lib.ostrel_control_count(h)):
            if not lib.ostrel_control_at(h, i, ctypes.byref(record)):
                continue
            lines = [tuple(self.text("ostrel_control_line", i, n, english)
                           for n in range(record.lineCount)) for english in (0, 1)]
            kind = ControlKind(record.kind)
            out.append(Control(
                choice=names.get(record.edit), kind=kind.name.lower(),
                label=record.label.decode("utf-8", "replace"),
                label_bytes=ctypes.string_at(record.labelBytes, record.labelSize)
                if record.labelSize else b"",
                english=record.english.decode("utf-8", "replace"), lines=lines[0],
                lines_english=lines[1],
                proposed=record.proposedText.decode("utf-8", "replace")
                if kind == ControlKind.EDIT else record.proposed))
        return tuple(out)

    def error(self, name: str) -> Error:
        result = Result(self.library.ostrel_result(self.pointer))
        return ERRORS[result](self.text("ostrel_reason"), result, name, self.warnings(),
                              self.text("ostrel_statistics"))


class Proposals(NamedTuple):
    """What a model file proposes before it is imported: the plug-in's
    statistics line, the values its options panel proposes and the panel's
    controls (Control)."""

    statistics: str
    choices: Dict[str, Choice]
    controls: Tuple[Control, ...] = ()


class Model:
    """One model as the host received it, in the order received, nothing
    merged. Coordinates and normals are in the host's space: left-handed,
    Y up, front faces clockwise; loaded right_handed, in that of the
    converter's OBJ and glb files: Z negated, each loop of three points or
    more reversed from its first corner.

    points           (N, 3) float32: x y z per point
    polygon_sizes    (P,) uint32: each polygon's number of points (lines
                     are polygons of two; polygons of 0 and 1 points too)
    polygon_surfaces (P,) uint32: each polygon's surface, an index into
                     `surfaces`
    corners          (C,) uint32: the polygons' points, polygon after polygon
    triangles        (T, 3) uint32: three corner numbers per triangle, turning
                     as the front faces do; None when loaded without shading
    corner_normals   (C, 3) float32: the normal the host shades each corner
                     with (zero for polygons of fewer than three points);
                     None when loaded without shading
    edge_mesh        the EdgeMesh, when loaded with edge_mesh; else None
    surfaces         the Surface of each surface looked up
    materials        the Material of each surface
    warnings         what the command line prints after "ostrel: warning: "
    statistics       the plug-in's statistics line ("" when it showed none)
    counts           the status line's counts (Counts)
    proposals        what the options panel proposed, by choice name
    controls         the panel's controls as the plug-in built them (Control)
    damage           why the model file is damaged, loaded with salvage=True;
                     None for a sound file

    The arrays are read-only views of the engine's memory, which stays
    while the model or any of them is referenced.
    """

    def __init__(self, handle: Handle, name: str, shading: bool, edge_mesh: bool = False):
        lib, h = handle.library, handle.pointer
        self.name = name
        self._handle = handle
        polygons, corners = lib.ostrel_polygon_count(h), lib.ostrel_corner_count(h)
        self.points = handle.view(lib.ostrel_points(h), lib.ostrel_point_count(h), np.float32, 3)
        self.polygon_sizes = handle.view(lib.ostrel_polygon_sizes(h), polygons, np.uint32)
        self.polygon_surfaces = handle.view(lib.ostrel_polygon_surfaces(h), polygons, np.uint32)
        self.corners = handle.view(lib.ostrel_corners(h), corners, np.uint32)
        self.triangles = self.corner_normals = None
        if shading:
            self.triangles = handle.view(lib.ostrel_triangles(h), lib.ostrel_triangle_count(h),
                                         np.uint32, 3)
            self.corner_normals = handle.view(lib.ostrel_corner_normals(h), corners, np.float32, 3)
        self.edge_mesh = EdgeMesh(handle) if edge_mesh else None
        record, material = SurfaceRecord(), MaterialRecord()
        self.surfaces = tuple(Surface.of(record) for i in range(lib.ostrel_surface_count(h))
                              if lib.ostrel_surface_at(h, i, ctypes.byref(record)))
        self.materials = tuple(Material.of(material) for i in range(len(self.surfaces))
                               if lib.ostrel_material_at(h, i, ctypes.byref(material)))
        self.warnings = handle.warnings()
        self.statistics = handle.text("ostrel_statistics")
        self.counts = Counts(*(lib.ostrel_count(h, c) for c in Count))
        self.proposals = handle.proposals()
        self.controls = handle.controls()
        self.damage: Optional[str] = handle.text("ostrel_damage") or None

    @property
    def polygon_starts(self) -> np.ndarray:
        """(P,) int64: where each polygon's corners begin in `corners`."""
        starts = np.zeros(len(self.polygon_sizes), np.int64)
        np.cumsum(self.polygon_sizes[:-1], out=starts[1:])
        return starts

    def __repr__(self) -> str:
        return (f"<ostrel.Model {self.name!r}: {len(self.points)} points, "
                f"{len(self.polygon_sizes)} polygons, {len(self.surfaces)} surfaces>")
