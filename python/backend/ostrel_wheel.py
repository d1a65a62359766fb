# The package's build backend (PEP 517) and wheel writer, with nothing to
# install first: pip builds the wheel from this folder with the engine
# library of a build tree inside,
#
#   python3 -m pip install --no-build-isolation ./python      (build/libostrel_engine.so)
#   python3 -m pip install --no-build-isolation --config-settings engine=LIBRARY ./python
#
# and CMake writes the Windows wheel on Linux the same way:
#
#   python3 python/backend/ostrel_wheel.py --engine build-win64/ostrel_engine.dll \
#       --out DIR [--licences DIR]
#
# A wheel is a zip of the package, the library and a .dist-info folder. The
# package is plain Python over ctypes, so one wheel serves every CPython 3:
# tagged py3-none-PLATFORM, the platform read from the library's own header
# (ELF or PE, and its machine), so that it cannot be tagged for another.
from __future__ import annotations

import base64
import hashlib
import os
import re
import struct
import sys
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
PROJECT = os.path.dirname(HERE)  # python/
SOURCE_TREE = os.path.dirname(PROJECT)
DEFAULT_ENGINE = os.path.join(SOURCE_TREE, "build", "libostrel_engine.so")

# (machine number, platform tag) by the library's format.
ELF_MACHINES = {0x3E: "linux_x86_64", 0xB7: "linux_aarch64", 0x03: "linux_i686"}
PE_MACHINES = {0x8664: "win_amd64", 0x14C: "win32", 0xAA64: "win_arm64"}


class BuildError(Exception):
    pass


def platform_tag(library: str) -> str:
    """The wheel's platform tag for the engine library at `library`."""
    with open(library, "rb") as f:
        head = f.read(4096)
    if head[:4] == b"\x7fELF":
        machine = struct.unpack_from("<H" if head[5] == 1 else ">H", head, 18)[0]
        tag = ELF_MACHINES.get(machine)
    elif head[:2] == b"MZ" and len(head) >= 0x40:
        offset = struct.unpack_from("<I", head, 0x3C)[0]
        if head[offset:offset + 4] != b"PE\0\0":
            raise BuildError(f"{library}: not a PE file")
        tag = PE_MACHINES.get(struct.unpack_from("<H", head, offset + 4)[0])
    else:
        raise BuildError(f"{library}: neither an ELF nor a PE library")
    if tag is None:
        raise BuildError(f"{library}: a machine no wheel tag is known for")
    return tag


def project_version() -> str:
    """The release, as the top CMakeLists.txt's project() declares it."""
    with open(os.path.join(SOURCE_TREE, "CMakeLists.txt"), encoding="utf-8") as f:
        found = re.search(r"project\(\s*Ostrel\s+VERSION\s+([0-9.]+)", f.read())
    if not found:
        raise BuildError("the top CMakeLists.txt names no project version")
    return found.group(1)


def metadata(version: str) -> str:
    """METADATA (core metadata 2.1) from pyproject.toml's [project] table."""
    try:
        import tomllib
    except ImportError:
        raise BuildError("building the wheel needs Python 3.11 or later (tomllib)") from None
    with open(os.path.join(PROJECT, "pyproject.toml"), "rb") as f:
        project = tomllib.load(f)["project"]
    lines = ["Metadata-Version: 2.1", f"Name: {project['name']}", f"Version: {version}",
             f"Summary: {project['description']}", f"License: {project['license']['text']}",
             f"Requires-Python: {project['requires-python']}"]
    lines += [f"Requires-Dist: {d}" for d in project.get("dependencies", [])]
    for extra, requirements in project.get("optional-dependencies", {}).items():
        lines.append(f"Provides-Extra: {extra}")
        lines += [f"Requires-Dist: {r}; extra == \"{extra}\"" for r in requirements]
    lines += [f"Classifier: {c}" for c in project.get("classifiers", [])]
    lines.append("Description-Content-Type: text/markdown")
    with open(os.path.join(PROJECT, project["readme"]), encoding="utf-8") as f:
        return "\n".join(lines) + "\n\n" + f.read()


def _record_line(name: str, data: bytes) -> str:
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{name},sha256={digest},{len(data)}"


def write_wheel(library: str, out_dir: str, licences: str = "") -> str:
    """Writes the wheel of the package with `library` inside into `out_dir`;
    returns its file name. `licences`: a folder whose *.txt go with it
    instead of the project's LICENSE."""
    if not os.path.isfile(library):
        raise BuildError(f"{library} is missing: build the engine first (cmake --preset default "
                         "&& cmake --build --preset default), or name it with "
                         "--config-settings engine=PATH")
    tag = platform_tag(library)
    version = project_version()
    dist_info = f"ostrel-{version}.dist-info"
    wheel_name = f"ostrel-{version}-py3-none-{tag}.whl"
    files = []  # (name in the wheel, bytes)
    package = os.path.join(PROJECT, "ostrel")
    for name in sorted(os.listdir(package)):
        if name.endswith(".py") or name == "py.typed":
            with open(os.path.join(package, name), "rb") as f:
                files.append((f"ostrel/{name}", f.read()))
    with open(library, "rb") as f:
        # The name the package loads it by (ostrel/_library.py).
        inside = "ostrel_engine.dll" if tag.startswith("win") else "libostrel_engine.so"
        files.append((f"ostrel/{inside}", f.read()))
    # The project's licence, or the texts of everything the library carries
    # built in, the project's among them.
    texts = [os.path.join(SOURCE_TREE, "LICENSE")]
    if licences:
        texts = [os.path.join(licences, n) for n in sorted(os.listdir(licences)) if n.endswith(".txt")]
    for text in texts:
        with open(text, "rb") as f:
            files.append((f"{dist_info}/licenses/{os.path.basename(text)}", f.read()))
    files.append((f"{dist_info}/METADATA", metadata(version).encode("utf-8")))
    files.append((f"{dist_info}/WHEEL", (
        "Wheel-Version: 1.0\nGenerator: ostrel_wheel\nRoot-Is-Purelib: false\n"
        f"Tag: py3-none-{tag}\n").encode()))
    files.append((f"{dist_info}/top_level.txt", b"ostrel\n"))
    record = [_record_line(n, d) for n, d in files] + [f"{dist_info}/RECORD,,"]
    files.append((f"{dist_info}/RECORD", ("\n".join(record) + "\n").encode()))

    os.makedirs(out_dir, exist_ok=True)
    path = os.path.join(out_dir, wheel_name)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as wheel:
        for name, data in files:
            entry = zipfile.ZipInfo(name, date_time=(1980, 1, 1, 0, 0, 0))
            executable = name.endswith((".so", ".dll"))
            entry.external_attr = (0o755 if executable else 0o644) << 16
            entry.compress_type = zipfile.ZIP_DEFLATED
            wheel.writestr(entry, data)
    return wheel_name


# ---- PEP 517 ----------------------------------------------------------------

def get_requires_for_build_wheel(config_settings=None):
    return []


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    settings = config_settings or {}
    return write_wheel(settings.get("engine", DEFAULT_ENGINE), wheel_directory,
                       settings.get("licences", ""))


def main(arguments) -> int:
    import argparse

    parser = argparse.ArgumentParser(description="Writes the ostrel wheel.")
    parser.add_argument("--engine", default=DEFAULT_ENGINE, help="the engine library to carry")
    parser.add_argument("--out", required=True, help="the folder to write the wheel into")
    parser.add_argument("--licences", default="", help="a folder of licence texts to carry")
    args = parser.parse_args(arguments)
    try:
        print(os.path.join(args.out, write_wheel(args.engine, args.out, args.licences)))
    except (BuildError, OSError) as e:
        print(f"ostrel_wheel: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
