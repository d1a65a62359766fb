# The engine library through ctypes: where it is found, the signatures of its
# calls and the numbers of engine/ostrel.h, nothing else. Every rule of the
# import runs in the library; this module only moves numbers and bytes.
#
# The numbers are written out here (a wheel carries no header); the tests
# hold each one, the calls' signatures and the surface record's layout
# against the header itself.
from __future__ import annotations

import ctypes
import enum
import os
import sys
import threading

API_VERSION = 1  # the interface this package was written for (OSTREL_API_VERSION)


class Edit(enum.IntEnum):
    """The panel's controls (OSTREL_EDIT_*)."""

    LOAD = 0
    COLOURS = 1
    SCALE = 2
    NAME = 3
    SMOOTH = 4
    ANGLE = 5
    DOUBLE_SIDED = 6


class Load(enum.IntEnum):
    """What the plug-in loads (OSTREL_LOAD_*): the `load` choice."""

    LINES = 0
    FACES = 1
    BOTH = 2


class Colours(enum.IntEnum):
    """Which colour of each palette entry the surfaces get (OSTREL_COLOURS_*):
    the `colours` choice."""

    BRIGHT = 0
    MIDDLE = 1
    DARK = 2


class Setting(enum.IntEnum):
    """A request's settings (OSTREL_*)."""

    CANCEL = 0
    READ_WARNINGS = 1
    KEEP_OBJECT = 2
    SHADING = 3
    CODE_PAGE = 4
    PICTURE_SIZE = 5
    RIGHT_HANDED = 6
    EDGE_MESH = 7
    SALVAGE = 8


class Result(enum.IntEnum):
    """How an import ended (OSTREL_*)."""

    LOADED = 0
    NOT_MODEL_FILE = 1
    CANNOT_READ = 2
    CANCELLED = 3
    REFUSED = 4
    HOST_REFUSED = 5
    NOT_CONVERTED = 6
    OUT_OF_MEMORY = 7
    BAD_REQUEST = 8
    NOTHING_TO_IMPORT = 9
    DAMAGED = 10


class Count(enum.IntEnum):
    """The status line's counts (OSTREL_COUNT_*)."""

    POINTS = 0
    POLYGONS = 1
    DROPPED = 2
    SURFACES = 3


class ControlKind(enum.IntEnum):
    """What a control of the plug-in's panel is (OSTREL_CONTROL_*)."""

    TEXT = 0
    CHOICE = 1
    NUMBER = 2
    EDIT = 3
    SWITCH = 4
    OTHER = 5


class MeshArray(enum.IntEnum):
    """The arrays of the object as faces and edges (OSTREL_MESH_*)."""

    FACE_STARTS = 0
    FACE_SIZES = 1
    FACE_SURFACES = 2
    FACE_POLYGONS = 3
    FACE_FLAT = 4
    CORNER_POINTS = 5
    CORNER_EDGES = 6
    CORNER_NORMALS = 7
    EDGE_POINTS = 8
    EDGE_SHARP = 9


class MeshCount(enum.IntEnum):
    """The edge mesh's counts (OSTREL_MESH_*)."""

    SPLIT_POLYGONS = 0
    SPLIT_FACES = 1


# Each enumeration's names in the header: PREFIX + member name.
HEADER_PREFIXES = {Edit: "OSTREL_EDIT_", Load: "OSTREL_LOAD_", Colours: "OSTREL_COLOURS_",
                   Setting: "OSTREL_", Result: "OSTREL_", Count: "OSTREL_COUNT_",
                   ControlKind: "OSTREL_CONTROL_", MeshArray: "OSTREL_MESH_",
                   MeshCount: "OSTREL_MESH_"}


class SurfaceRecord(ctypes.Structure):
    """ostrel_surface, field by field."""

    _fields_ = [("name", ctypes.c_char_p), ("nameBytes", ctypes.c_void_p),
                ("nameSize", ctypes.c_size_t), ("hasBlock", ctypes.c_int),
                ("red", ctypes.c_uint8), ("green", ctypes.c_uint8), ("blue", ctypes.c_uint8),
                ("smooth", ctypes.c_int), ("doubleSided", ctypes.c_int),
                ("smoothingAngle", ctypes.c_float), ("diffuse", ctypes.c_float),
                ("transparency", ctypes.c_float), ("specular", ctypes.c_float),
                ("glossiness", ctypes.c_float)]


class ControlRecord(ctypes.Structure):
    """ostrel_control, field by field."""

    _fields_ = [("edit", ctypes.c_int), ("kind", ctypes.c_int), ("label", ctypes.c_char_p),
                ("labelBytes", ctypes.c_void_p), ("labelSize", ctypes.c_size_t),
                ("english", ctypes.c_char_p), ("lineCount", ctypes.c_size_t),
                ("proposed", ctypes.c_double), ("proposedText", ctypes.c_char_p)]


class MaterialRecord(ctypes.Structure):
    """ostrel_material, field by field."""

    _fields_ = [("red", ctypes.c_float), ("green", ctypes.c_float), ("blue", ctypes.c_float),
                ("alpha", ctypes.c_float), ("roughness", ctypes.c_float),
                ("specular", ctypes.c_float), ("metallic", ctypes.c_float),
                ("doubleSided", ctypes.c_int), ("blend", ctypes.c_int)]


_P, _S, _I, _T = ctypes.c_void_p, ctypes.c_size_t, ctypes.c_int, ctypes.c_char_p
SIGNATURES = {
    "ostrel_api_version": (ctypes.c_uint32, []),
    "ostrel_engine_version": (_T, []),
    "ostrel_request_new": (_P, []),
    "ostrel_request_free": (None, [_P]),
    "ostrel_request_edit_number": (_I, [_P, _I, ctypes.c_double]),
    "ostrel_request_edit_text": (_I, [_P, _I, _T, _S]),
    "ostrel_request_refusal": (_T, [_P]),
    "ostrel_edit_takes": (_T, [_I]),
    "ostrel_empty_model": (_T, []),
    "ostrel_system_code_page": (ctypes.c_uint, []),
    "ostrel_damage": (_T, [_P]),
    "ostrel_request_set": (_I, [_P, _I, ctypes.c_int64]),
    "ostrel_request_format": (_I, [_P, _T]),
    "ostrel_format_names": (_T, []),
    "ostrel_import_run": (_P, [_P, _T, _T, _S]),
    "ostrel_import_free": (None, [_P]),
    "ostrel_result": (_I, [_P]),
    "ostrel_reason": (_T, [_P]),
    "ostrel_statistics": (_T, [_P]),
    "ostrel_count": (_S, [_P, _I]),
    "ostrel_warning_count": (_S, [_P]),
    "ostrel_warning": (_T, [_P, _S]),
    "ostrel_proposal": (_I, [_P, _I, ctypes.POINTER(ctypes.c_double), ctypes.POINTER(_T)]),
    "ostrel_control_count": (_S, [_P]),
    "ostrel_control_at": (_I, [_P, _S, ctypes.POINTER(ControlRecord)]),
    "ostrel_control_line": (_T, [_P, _S, _S, _I]),
    "ostrel_point_count": (_S, [_P]),
    "ostrel_points": (_P, [_P]),
    "ostrel_polygon_count": (_S, [_P]),
    "ostrel_polygon_sizes": (_P, [_P]),
    "ostrel_polygon_surfaces": (_P, [_P]),
    "ostrel_corner_count": (_S, [_P]),
    "ostrel_corners": (_P, [_P]),
    "ostrel_surface_count": (_S, [_P]),
    "ostrel_surface_at": (_I, [_P, _S, ctypes.POINTER(SurfaceRecord)]),
    "ostrel_corner_normals": (_P, [_P]),
    "ostrel_triangle_count": (_S, [_P]),
    "ostrel_triangles": (_P, [_P]),
    "ostrel_material_at": (_I, [_P, _S, ctypes.POINTER(MaterialRecord)]),
    "ostrel_mesh_array": (_P, [_P, _I, ctypes.POINTER(_S)]),
    "ostrel_mesh_count": (_S, [_P, _I]),
    "ostrel_mesh_smoothing_angle": (ctypes.c_double, [_P]),
    "ostrel_file_count": (_S, [_P]),
    "ostrel_solid_line": (_T, [_P]),
    "ostrel_file_name": (_T, [_P, _S]),
    "ostrel_file_bytes": (_P, [_P, _S, ctypes.POINTER(_S)]),
}

HERE = os.path.dirname(os.path.abspath(__file__))


def library_name(platform: str = sys.platform) -> str:
    """The engine library's file name on `platform` (a sys.platform value)."""
    if platform == "win32":
        return "ostrel_engine.dll"
    if platform == "darwin":
        return "libostrel_engine.dylib"
    return "libostrel_engine.so"


def default_path() -> str:
    """The library to load when none is named: $OSTREL_ENGINE, else the one
    beside this package (a wheel and the Debian package put it there)."""
    return os.environ.get("OSTREL_ENGINE") or os.path.join(HERE, library_name())


class LoadFailure(Exception):
    """The library at a path cannot be used; the message says why."""


_loaded: dict = {}  # real path -> the library
_lock = threading.Lock()


def open_library(path: str) -> ctypes.CDLL:
    """The engine library at `path`, loaded once per process (ctypes.CDLL
    releases the interpreter's lock around each call, so imports on
    several threads run at once). Raises LoadFailure."""
    key = path
    with _lock:
        if key in _loaded:
            return _loaded[key]
        if not os.path.isfile(key):
            raise LoadFailure(f"{path}: no such file")
        try:
            library = ctypes.CDLL(key)
        except OSError as e:
            raise LoadFailure(f"{path} cannot be loaded ({e})") from None
        try:
            for name, (result, arguments) in SIGNATURES.items():
                function = getattr(library, name)
                function.restype, function.argtypes = result, arguments
        except AttributeError as e:
            raise LoadFailure(f"{path} is not an engine this package can use ({e})") from None
        version = library.ostrel_api_version()
        if version != API_VERSION:
            raise LoadFailure(f"{path} is an engine of interface {version}, this package needs "
                              f"{API_VERSION}")
        _loaded[key] = library
        return library
