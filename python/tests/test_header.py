# The binding against engine/ostrel.h itself: every number, every call's
# signature, the records' layouts and the edge mesh's array types as the
# header declares them, so that a change to the header that the package does
# not follow fails here rather than as wrong numbers or a crash.
import ctypes
import os
import re

import numpy as np
import pytest
from conftest import ROOT

from ostrel import _library
from ostrel._model import MESH_ARRAYS

HEADER = open(os.path.join(ROOT, "engine", "ostrel.h"), encoding="utf-8").read()
CODE = re.sub(r"/\*.*?\*/", " ", HEADER, flags=re.S)


def header_numbers():
    numbers = {}
    for block in re.findall(r"enum\s*\{(.*?)\}", CODE, flags=re.S):
        for name, value in re.findall(r"(OSTREL_\w+)\s*=\s*(\d+)", block):
            numbers[name] = int(value)
    return numbers


def test_every_number_is_the_headers():
    ours = {prefix + member.name: int(member)
            for kind, prefix in _library.HEADER_PREFIXES.items() for member in kind}
    assert ours == header_numbers()
    version = re.search(r"#define OSTREL_API_VERSION (\d+)", CODE).group(1)
    assert _library.API_VERSION == int(version)


# What a C type is to ctypes, as far as the calling convention goes.
SCALARS = {"void": None, "int": ctypes.c_int, "unsigned": ctypes.c_uint, "double": ctypes.c_double, "size_t": ctypes.c_size_t,
           "uint32_t": ctypes.c_uint32, "int64_t": ctypes.c_int64, "uint8_t": ctypes.c_uint8,
           "float": ctypes.c_float}


def kind(c_type):
    """'pointer' for any pointer, else the ctypes type of the scalar."""
    c_type = c_type.replace("const", "").strip()
    return "pointer" if c_type.endswith("*") else SCALARS[c_type]


def ctypes_kind(t):
    if t is None or t in SCALARS.values():
        return t
    return "pointer" if t in (ctypes.c_void_p, ctypes.c_char_p) or hasattr(t, "contents") else t


def test_every_call_has_the_headers_signature():
    declared = {}
    for result, name, arguments in re.findall(r"OSTREL_API\s+([\w\s*]+?)\s*\b(ostrel_\w+)\(([^)]*)\);",
                                              CODE):
        parts = [a.strip() for a in arguments.split(",") if a.strip() not in ("", "void")]
        # Each argument without its name: the type is all but the last word.
        types = [re.sub(r"\b\w+$", "", a).strip() for a in parts]
        declared[name] = (kind(result), [kind(t) for t in types])
    ours = {name: (ctypes_kind(result), [ctypes_kind(a) for a in arguments])
            for name, (result, arguments) in _library.SIGNATURES.items()}
    assert ours == declared


@pytest.mark.parametrize("record, ours", [("ostrel_surface", _library.SurfaceRecord),
                                          ("ostrel_control", _library.ControlRecord),
                                          ("ostrel_material", _library.MaterialRecord)])
def test_the_records_are_laid_out_as_the_header_says(record, ours):
    body = re.search(r"typedef struct " + record + r" \{(.*?)\}", CODE, flags=re.S).group(1)
    fields = []
    for declaration in body.split(";"):
        declaration = " ".join(declaration.split())
        if not declaration:
            continue
        c_type, names = re.match(r"((?:const )?\w+\*?)\s+(.*)", declaration).groups()
        fields += [(n.strip(), kind(c_type)) for n in names.split(",")]
    assert [(name, ctypes_kind(t)) for name, t in ours._fields_] == fields


def test_the_edge_mesh_arrays_are_the_headers_types():
    """Each OSTREL_MESH_ array's items as its comment in the header gives
    them ("int32_t x 2 per edge"), against the views the package makes."""
    declared = {name: (c_type, int(width)) for name, c_type, width in re.findall(
        r"OSTREL_MESH_(\w+) = \d+,?\s*/\* (\w+) x (\d) per", HEADER)}
    sizes = {"int32_t": (4, "i"), "uint8_t": (1, "b"), "float": (4, "f")}
    ours = {array.name: (np.dtype(dtype), width) for array, (dtype, width) in MESH_ARRAYS.items()}
    assert ours.keys() == declared.keys()
    for name, (dtype, width) in ours.items():
        c_type, declared_width = declared[name]
        # A flag (uint8_t, 0 or 1) is viewed as bool, which numpy stores so.
        assert (dtype.itemsize, dtype.kind.replace("u", "b")) == sizes[c_type] and \
            width == declared_width, name
