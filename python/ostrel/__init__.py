"""Ostrel's engine in Python: model files (text files beginning with ROKU4)
imported through the plug-in exactly as the command `ostrel` imports them,
in this process, with numpy arrays over the engine's own memory.

    import ostrel
    model = ostrel.load("cube.rk4")            # or the file's bytes, with name=
    model.points, model.polygon_sizes, model.corners, model.polygon_surfaces
    model.surfaces[0].colour
    ostrel.load("cube.rk4", shading=True).triangles    # and .corner_normals
    files = ostrel.convert("cube.rk4", "obj", scale=1)   # {"cube.obj": b"...", "cube.mtl": ...}

The choices are the plug-in's options panel, each as the file proposes
unless given: load (Load.LINES, FACES, BOTH or their names), colours
(Colours.BRIGHT, MIDDLE, DARK or their names), scale, base_name (the
surfaces' names), smooth, angle (degrees), double_sided. The engine judges
each by the rules of every front end (a number, or text as a user typed
it: "1,5" is explained); one it does not take raises ValueError with the
engine's line. An import that does
not load raises an ostrel.Error (NotModelFile, CannotRead, OutOfMemory, ...)
whose message is the command line's reason. A damaged model file (cut short,
a keyword misspelt, numbers the reader cannot read) raises ostrel.Damaged,
saying where and why; with salvage=True it loads what was read, and
Model.damage says why it is damaged.

`import ostrel.trimesh` lets trimesh.load read model files, `import
ostrel.meshio` meshio.read. The engine library lies beside this package;
$OSTREL_ENGINE or ostrel.Engine(path) names another.
"""
from __future__ import annotations

import ctypes
import inspect
import os
import sys
import threading
from typing import Dict, Optional, Tuple, Union

from . import _library
from ._library import API_VERSION, Colours, Edit, Load, Result, Setting
from ._model import (CHOICES, BadRequest, Cancelled, CannotRead, Choice, Control, Counts,
                     Damaged, EdgeMesh, EngineError, Error, Handle, HostRefused, Material, Model,
                     NothingToImport, NotConverted, NotModelFile, OutOfMemory, Proposals, Refused,
                     Surface)

__all__ = ["load", "convert", "proposals", "panel", "formats", "engine", "Engine", "Model",
           "Surface", "Material", "EdgeMesh", "Counts", "Proposals", "Control", "Load", "Colours",
           "Result", "Error", "EngineError", "NotModelFile", "CannotRead", "Cancelled", "Refused",
           "HostRefused", "NotConverted", "OutOfMemory", "BadRequest", "NothingToImport",
           "Damaged", "Files", "API_VERSION"]

# The public records and errors are the package's, whichever file holds them.
for _public in (Model, Surface, Material, EdgeMesh, Counts, Proposals, Control, Load, Colours,
                Result, Error, EngineError, NotModelFile, CannotRead, Cancelled, Refused,
                HostRefused, NotConverted, OutOfMemory, BadRequest, NothingToImport, Damaged):
    _public.__module__ = __name__


class Files(Dict[str, bytes]):
    """What convert() gives: each file's name and bytes. `solid_line`: for
    "stl" and "3mf", whether the object is a closed solid, in the engine's
    one line; "" for the other formats."""
    solid_line: str = ""


Source = Union[str, os.PathLike, bytes, bytearray, memoryview]
DEFAULT_NAME = "model.rk4"  # the name of a model given as bytes without one


class Engine:
    """One engine library, loaded. Its calls may run on several threads at
    once; each import is a handle of its own."""

    def __init__(self, path: Optional[str] = None):
        """Loads the library at `path` (default: $OSTREL_ENGINE, else the one
        beside this package). Raises EngineError saying why it cannot."""
        self.path = os.path.realpath(path or _library.default_path())
        try:
            self._lib = _library.open_library(self.path)
        except _library.LoadFailure as e:
            raise EngineError(str(e)) from None
        self.version: str = self._lib.ostrel_engine_version().decode()

    def __repr__(self) -> str:
        return f"<ostrel.Engine {self.version} at {self.path!r}>"

    def formats(self) -> str:
        """The output formats `convert` takes, as words: "lwo, obj or glb"."""
        return self._lib.ostrel_format_names().decode()

    def _request(self, choices: Dict[str, Optional[Choice]], settings: Dict[Setting, int],
                 format: Optional[str] = None) -> int:
        lib = self._lib
        request = lib.ostrel_request_new()
        if not request:
            raise OutOfMemory(lib.ostrel_reason(None).decode(), Result.OUT_OF_MEMORY)
        try:
            for choice, value in choices.items():
                if value is not None:
                    self._choose(request, choice, value)
            for setting, value in settings.items():
                if not lib.ostrel_request_set(request, setting, value) and \
                        setting == Setting.PICTURE_SIZE:
                    raise ValueError(f"size: {value!r} is not a picture size the engine takes")
            if format is not None and not lib.ostrel_request_format(request, format.encode()):
                raise ValueError(f"format: {format!r} is not one it takes ({self.formats()})")
        except BaseException:
            lib.ostrel_request_free(request)
            raise
        return request

    def _choose(self, request: int, choice: str, value) -> None:
        """One choice, judged by the engine: text as the user typed it (a
        choice's item by its name, "1,5" explained), or a number (a choice's
        item, a switch's bool). Raises ValueError with the engine's line."""
        lib, edit = self._lib, CHOICES[choice]
        if isinstance(value, (str, bytes)):
            text = value.encode("utf-8") if isinstance(value, str) else value
            taken = lib.ostrel_request_edit_text(request, edit, text, len(text))
        else:
            try:
                number = float(value)
            except (TypeError, ValueError):
                takes = lib.ostrel_edit_takes(edit).decode()
                raise ValueError(f"{choice}: {value!r} is not a value it takes ({takes})") from None
            taken = lib.ostrel_request_edit_number(request, edit, number)
        if not taken:
            raise ValueError(lib.ostrel_request_refusal(request).decode("utf-8", "replace"))

    def _run(self, source: Source, name: Optional[str], choices, settings, format=None):
        """One import: the Handle and the model's name."""
        name, data = _model_input(source, name)
        request = self._request(choices, settings, format)
        try:
            if sys.platform == "win32":
                pointer = self._lib.ostrel_import_run(request, name.encode("utf-8"), data,
                                                      len(data) if data is not None else 0)
            else:
                pointer = self._lib.ostrel_import_run(request, os.fsencode(name), data,
                                                      len(data) if data is not None else 0)
        finally:
            self._lib.ostrel_request_free(request)
        if not pointer:
            raise OutOfMemory(self._lib.ostrel_reason(None).decode(), Result.OUT_OF_MEMORY, name)
        return Handle(self._lib, pointer), name

    def load(self, source: Source, name: Optional[str] = None, *,
             load: Union[Load, str, None] = None, colours: Union[Colours, str, None] = None,
             scale: Optional[float] = None, base_name: Optional[str] = None,
             smooth: Optional[bool] = None, angle: Optional[float] = None,
             double_sided: Optional[bool] = None, shading: bool = False,
             read_warnings: bool = True, code_page: Optional[int] = None,
             right_handed: bool = False, edge_mesh: bool = False,
             salvage: bool = False) -> Model:
        """Imports a model file and returns the Model the host received.

        source: a path, or the file's bytes (then `name`, default
        "model.rk4", is its name: its base name makes the surfaces' names).
        A path with a `name` is read and imported under that name.
        load ... double_sided: the options panel's choices (None: as the
        file proposes). shading: also the host's corner normals and
        triangles (worked out only when asked: a tenth to a fifth more time).
        read_warnings: also what the reader left out, as warnings.
        code_page: the code page of names that are not UTF-8 (default: the
        system's, as the engine tells it: 932, or on Windows its ANSI code
        page).
        right_handed: the arrays in the converter's files' convention (Z
        negated, loops reversed) instead of the host's.
        edge_mesh: also the object as faces and edges (Model.edge_mesh).
        salvage: a damaged model file loads as far as it was read, and
        Model.damage says why it is damaged (otherwise: ostrel.Damaged).
        Raises ValueError for a choice the engine does not take, an Error
        when the import does not load."""
        choices = dict(load=load, colours=colours, scale=scale, base_name=base_name,
                       smooth=smooth, angle=angle, double_sided=double_sided)
        settings = {Setting.SHADING: int(shading), Setting.READ_WARNINGS: int(read_warnings),
                    Setting.CODE_PAGE: self._code_page(code_page),
                    Setting.RIGHT_HANDED: int(right_handed), Setting.EDGE_MESH: int(edge_mesh),
                    Setting.SALVAGE: int(salvage)}
        handle, name = self._run(source, name, choices, settings)
        if self._lib.ostrel_result(handle.pointer) != Result.LOADED:
            raise _error(handle, name, source)
        return Model(handle, name, shading, edge_mesh)

    def convert(self, source: Source, format: str, name: Optional[str] = None, *,
                load: Union[Load, str, None] = None, colours: Union[Colours, str, None] = None,
                scale: Optional[float] = None, base_name: Optional[str] = None,
                smooth: Optional[bool] = None, angle: Optional[float] = None,
                double_sided: Optional[bool] = None,
                code_page: Optional[int] = None,
                size: Optional[int] = None, salvage: bool = False) -> "Files":
        """Converts a model file to `format` ("obj", "glb", "png", "stl",
        ...: formats()): the files' names and bytes, the bytes the command
        `ostrel` writes ("cube.obj" and "cube.mtl" for the cube as OBJ),
        and for "stl" and "3mf" whether the object is a closed solid
        (Files.solid_line). Source, name, choices and salvage as for load();
        `size`: a png picture's pixels along each side (None: the engine's
        default)."""
        choices = dict(load=load, colours=colours, scale=scale, base_name=base_name,
                       smooth=smooth, angle=angle, double_sided=double_sided)
        settings = {Setting.KEEP_OBJECT: 0, Setting.CODE_PAGE: self._code_page(code_page),
                    Setting.SALVAGE: int(salvage)}
        if size is not None:
            settings[Setting.PICTURE_SIZE] = int(size)
        handle, name = self._run(source, name, choices, settings, format)
        lib, h = self._lib, handle.pointer
        if lib.ostrel_result(h) != Result.LOADED:
            raise _error(handle, name, source)
        files = Files()
        size = ctypes.c_size_t()
        for i in range(lib.ostrel_file_count(h)):
            pointer = lib.ostrel_file_bytes(h, i, ctypes.byref(size))
            files[handle.text("ostrel_file_name", i)] = ctypes.string_at(pointer, size.value)
        files.solid_line = handle.text("ostrel_solid_line")
        return files

    def proposals(self, source: Source, name: Optional[str] = None, *,
                  code_page: Optional[int] = None) -> Proposals:
        """What the file proposes, without importing it (the options panel
        cancelled): the statistics line and the panel's values by choice."""
        settings = {Setting.CANCEL: 1, Setting.CODE_PAGE: self._code_page(code_page)}
        handle, name = self._run(source, name, {}, settings)
        if self._lib.ostrel_result(handle.pointer) != Result.CANCELLED:
            raise _error(handle, name, source)
        return Proposals(handle.text("ostrel_statistics"), handle.proposals(), handle.controls())

    def _code_page(self, code_page: Optional[int]) -> int:
        return code_page if code_page is not None else self._lib.ostrel_system_code_page()

    def panel(self) -> Proposals:
        """The plug-in's panel before there is a file: its controls and
        proposals for a model with nothing in it (the engine's)."""
        return self.proposals(self._lib.ostrel_empty_model(), DEFAULT_NAME)


def _error(handle: Handle, name: str, source: Source) -> Error:
    """The import's Error. Bytes that name a file, given where a path was
    meant, are said to be so rather than described as a model's start."""
    error = handle.error(name)
    if isinstance(error, NotModelFile) and isinstance(source, bytes) and \
            len(source) < 4096 and b"\n" not in source and os.path.exists(os.fsdecode(source)):
        return NotModelFile(f"not a model file: these bytes name a file, {os.fsdecode(source)!r}; "
                            "pass a path as str or os.PathLike (os.fsdecode(path)), or the file's "
                            "bytes", error.result, name, error.warnings, error.statistics)
    return error


def __getattr__(attribute: str):
    # The package is the engine's binding: its version is the engine's.
    if attribute == "__version__":
        return engine().version
    raise AttributeError(f"module {__name__!r} has no attribute {attribute!r}")


def _model_input(source: Source, name: Optional[str]) -> Tuple[str, Optional[bytes]]:
    """The name the engine gets and the bytes, or None where the plug-in
    opens the file at that name itself."""
    if isinstance(source, (bytes, bytearray, memoryview)):
        return name or DEFAULT_NAME, bytes(source)
    path = os.fspath(source)
    if isinstance(path, bytes):
        path = os.fsdecode(path)
    # On Windows the plug-in opens files by their ANSI names: it gets the
    # bytes instead, staged by the engine under a name it can open.
    if name is None and sys.platform != "win32":
        return path, None
    try:
        with open(path, "rb") as f:
            return name or path, f.read()
    except OSError:
        return path, None  # the plug-in says why it cannot read it


_default: Optional[Engine] = None
_default_lock = threading.Lock()


def engine(path: Optional[str] = None) -> Engine:
    """The Engine of the library at `path`, or the default one (loaded on
    first use). Raises EngineError."""
    global _default
    if path is not None:
        return Engine(path)
    with _default_lock:
        if _default is None:
            _default = Engine()
        return _default


def _delegate(method):
    """A function of this module that calls `method` of the default engine,
    with its signature and text (for help())."""
    def function(*arguments, **keywords):
        return method(engine(), *arguments, **keywords)

    signature = inspect.signature(method)
    function.__signature__ = signature.replace(parameters=list(signature.parameters.values())[1:])
    function.__name__ = function.__qualname__ = method.__name__
    function.__doc__ = method.__doc__
    return function


load = _delegate(Engine.load)
convert = _delegate(Engine.convert)
proposals = _delegate(Engine.proposals)
panel = _delegate(Engine.panel)
formats = _delegate(Engine.formats)
