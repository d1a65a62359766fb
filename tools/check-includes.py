#!/usr/bin/env python3
"""Who may include whom: checks every quoted #include of the sources against
the layers (docs/architecture.md) and exits 1, naming each breach.

    tools/check-includes.py [ROOT]      check the tree (default: this checkout)
    tools/check-includes.py --self-test check that breaches are caught

The rules:
  - each folder includes only the folders below it in its layer list (and
    the few headers named for it); platform/ includes nothing of the project;
  - what a folder may never reach, even through other headers: the host
    simulation no formats, terminal or command line; conversion (and the
    geometry it shares) no host records, files, terminal, command line;
    the picture (render/) nothing of the project;
  - conversion, geometry, the picture and the thumbnail handler call no system look-up (the code
    page is a parameter) and touch no file, stream or terminal;
  - nothing outside cli/ (and its tests) includes cli/;
  - no include cycle between folders, nor between files (a file's header
    and sources, NAME.h, NAME.cpp, NAME-posix.cpp, count as one).
The module's core, model/ and mesh/, is one layer: the reader groups the
faces it reads.
"""
import os
import re
import subprocess
import sys
import tempfile

SOURCE = re.compile(r"\.(h|cpp)$")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.M)

# Folder -> what its files may include: whole folders (a name) or single
# headers (a path). Files only in `only` may use the headers given there.
LAYERS = {
    "host": {"host"},
    "model": {"model", "mesh"},
    "mesh": {"mesh", "model"},
    "plugin": {"plugin", "host", "model", "mesh"},
    "platform": {"platform"},
    "standin": {"standin", "host", "platform/NumberText.h"},
    # What the triangle formats share: memory only, like the conversion.
    "geometry": {"geometry", "standin/Received.h"},
    # A picture from arrays: nothing of the project.
    "render": {"render"},
    "convert": {"convert", "geometry", "render", "standin/Received.h", "platform/TextCodec.h",
                "platform/NumberText.h"},
    "pipeline": {"pipeline", "standin", "geometry", "convert", "platform", "host",
                 "model/Model.h"},
    "cli": {"cli", "pipeline", "standin", "geometry", "convert", "platform", "host"},
    # The web page's converter: a front end beside the command line, through
    # the one entry point (and what its header brings) only.
    "web": {"web", "pipeline", "standin/PanelRules.h", "convert/ViewArrays.h",
            "render/Picture.h"},
    # The engine's C interface for in-process front ends: the same.
    "engine": {"engine", "pipeline", "standin/PanelRules.h"},
    # The thumbnail handler: the engine's C interface and the picture alone.
    "explorer": {"explorer", "engine/ostrel.h", "render"},
    # The file managers' thumbnailer: the one entry point (and what it
    # brings), the picture of points, the files it reads and writes.
    "thumbnailer": {"thumbnailer", "pipeline", "render", "platform"},
}
ONLY = {
    # The simulation obtains the module file, and stages a model's bytes.
    "standin/ModuleLoader.cpp": {"platform/ModuleFile.h", "platform/FileSystem.h"},
    "standin/Activation.cpp": {"platform/FileSystem.h"},
    # The panel's rules read items typed in UTF-8 or in the plug-in's bytes.
    "standin/PanelValues.cpp": {"platform/TextCodec.h"},
}
# Folder -> what it may never reach through any chain of includes.
NEVER = {
    "standin": ["convert/", "pipeline/", "cli/", "platform/Terminal.h"],
    "convert": ["host/", "pipeline/", "cli/", "platform/FileSystem.h", "platform/Terminal.h",
                "platform/ModuleFile.h", "standin/ImportHost.h", "standin/PanelServices.h"],
    "geometry": ["host/", "convert/", "pipeline/", "cli/", "platform/", "standin/ImportHost.h",
                 "standin/PanelServices.h"],
    "platform": ["host/", "model/", "mesh/", "plugin/", "standin/", "convert/", "pipeline/",
                 "cli/"],
    "render": ["host/", "model/", "mesh/", "plugin/", "standin/", "geometry/", "convert/",
               "pipeline/", "platform/", "cli/"],
    "model": ["host/", "plugin/"],
    "mesh": ["host/", "plugin/"],
}
# Folder -> words its sources may not use: the system's settings, files,
# streams and the terminal.
MEMORY_ONLY = ["SystemCodePage", "fopen", "stdout", "stderr", "stdin", "getenv",
               "<fstream>", "<filesystem>", "<iostream>"]
FORBIDDEN_WORDS = {
    "convert": MEMORY_ONLY,
    "geometry": MEMORY_ONLY,
    "render": MEMORY_ONLY,
    # The thumbnail handler reads the stream it is handed: no file of its own.
    "explorer": MEMORY_ONLY,
}
SEARCH = ["", "tests", "tests/support"]


def listed(root):
    """The files git tracks or would track (every file, outside a checkout)."""
    try:
        out = subprocess.run(["git", "ls-files", "-co", "--exclude-standard"], cwd=root,
                             capture_output=True, text=True, check=True).stdout.split("\n")
    except (OSError, subprocess.CalledProcessError):
        out = [os.path.relpath(os.path.join(d, f), root) for d, _, fs in os.walk(root) for f in fs]
    return out


def sources(root):
    return sorted(p for p in listed(root) if SOURCE.search(p) and not p.startswith("build")
                  and "node_modules" not in p and os.path.isfile(os.path.join(root, p)))


def resolve(root, including, name):
    for base in [os.path.dirname(including)] + SEARCH:
        path = os.path.normpath(os.path.join(base, name))
        if os.path.isfile(os.path.join(root, path)):
            return path.replace(os.sep, "/")
    return None


def folder(path):
    return path.split("/")[0]


def unit(path):
    """A file's header and sources: NAME.h, NAME.cpp, NAME-posix.cpp."""
    return re.sub(r"(-posix|-win32|-web)?\.(h|cpp)$", "", path)


def cycles(edges):
    """The strongly connected parts of more than one node (Tarjan)."""
    index, low, stack, on, found = {}, {}, [], set(), []
    counter = [0]

    def visit(v):
        index[v] = low[v] = counter[0]
        counter[0] += 1
        stack.append(v)
        on.add(v)
        for w in sorted(edges.get(v, ())):
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            part = []
            while True:
                w = stack.pop()
                on.discard(w)
                part.append(w)
                if w == v:
                    break
            if len(part) > 1:
                found.append(sorted(part))

    sys.setrecursionlimit(10000)
    for v in sorted(edges):
        if v not in index:
            visit(v)
    return found


def check(root):
    breaches = []
    files = sources(root)
    includes = {}
    for path in files:
        with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
            text = f.read()
        targets = []
        for name in INCLUDE.findall(text):
            target = resolve(root, path, name)
            if target is None:
                breaches.append(f"{path}: #include \"{name}\" names no file of the project")
            else:
                targets.append(target)
        includes[path] = targets
        for word in FORBIDDEN_WORDS.get(folder(path), []):
            if re.search(r"(?<![\w])" + re.escape(word) + r"(?![\w])", text):
                breaches.append(f"{path}: uses {word}")

    for path, targets in includes.items():
        top = folder(path)
        for target in targets:
            if folder(target) == "cli" and top != "cli" and not path.startswith("tests/cli/"):
                breaches.append(f"{path}: includes {target}: nothing includes the command line")
            allowed = LAYERS.get(top)
            if allowed is None:
                continue
            if (folder(target) not in allowed and target not in allowed
                    and target not in ONLY.get(path, ())):
                breaches.append(f"{path}: includes {target}, outside what {top}/ may use")

    def reach(path, seen):
        for target in includes.get(path, ()):
            if target not in seen:
                seen.add(target)
                reach(target, seen)
        return seen

    for path in includes:
        for forbidden in NEVER.get(folder(path), []):
            for target in sorted(reach(path, set())):
                if target.startswith(forbidden) or target == forbidden:
                    breaches.append(f"{path}: reaches {target}, which {folder(path)}/ must not know")

    folders, units = {}, {}
    for path, targets in includes.items():
        for target in targets:
            if folder(target) != folder(path):
                folders.setdefault(folder(path), set()).add(folder(target))
            if unit(target) != unit(path):
                units.setdefault(unit(path), set()).add(unit(target))
    # The core's two folders are one layer (see above).
    core = {"model", "mesh"}
    for part in cycles(folders):
        if set(part) != core:
            breaches.append("folders include each other: " + " -> ".join(part))
    for part in cycles(units):
        breaches.append("files include each other: " + " -> ".join(part))
    return files, breaches


def check_tree(tree):
    """The breaches of a tree of {path: text}, written to a scratch folder."""
    with tempfile.TemporaryDirectory() as root:
        for path, text in tree.items():
            os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
            with open(os.path.join(root, path), "w", encoding="utf-8") as f:
                f.write(text)
        return check(root)[1]


def self_test():
    """A tree with one breach of each kind: every one must be named."""
    tree = {
        "platform/Clock.h": '#include "standin/Trace.h"\n',
        "standin/Trace.h": "#pragma once\n",
        "standin/Host.cpp": '#include "convert/Formats.h"\n',
        "convert/Formats.h": '#include "standin/Received.h"\n',
        "standin/Received.h": '#include "host/HostApi.h"\n',
        "host/HostApi.h": "#pragma once\n",
        "convert/Names.cpp": "unsigned c = SystemCodePage();\n",
        "pipeline/Run.cpp": '#include "cli/Options.h"\n',
        "cli/Options.h": '#include "cli/Paths.h"\n',
        "cli/Paths.h": '#include "cli/Options.h"\n',
        "cli/Gone.cpp": '#include "cli/Missing.h"\n',
        "engine/Engine.cpp": '#include "standin/Trace.h"\n',
    }
    expected = [
        "platform/Clock.h: includes standin/Trace.h",
        "standin/Host.cpp: includes convert/Formats.h",
        "convert/Formats.h: reaches host/HostApi.h",
        "convert/Names.cpp: uses SystemCodePage",
        "pipeline/Run.cpp: includes cli/Options.h: nothing includes the command line",
        "files include each other: cli/Options -> cli/Paths",
        "cli/Gone.cpp: #include \"cli/Missing.h\" names no file",
        "standin/Host.cpp: reaches convert/Formats.h",
        "engine/Engine.cpp: includes standin/Trace.h",
    ]
    breaches = check_tree(tree)
    missed = [e for e in expected if not any(b.startswith(e) for b in breaches)]
    for e in missed:
        print(f"check-includes self-test: not caught: {e}")
    clean_tree = {"host/HostApi.h": "#pragma once\n", "plugin/Plugin.h": '#include "host/HostApi.h"\n'}
    clean = check_tree(clean_tree)
    for b in clean:
        print(f"check-includes self-test: a sound tree breached: {b}")
    return 1 if missed or clean else 0


def main():
    if sys.argv[1:] == ["--self-test"]:
        return self_test()
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    files, breaches = check(os.path.abspath(root))
    for b in breaches:
        print(b)
    print(f"include rules: {len(files)} files, {len(breaches)} breaches")
    return 1 if breaches else 0


if __name__ == "__main__":
    sys.exit(main())
