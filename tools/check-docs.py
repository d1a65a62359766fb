#!/usr/bin/env python3
# What the docs say of the tree, held to the tree: a failing line names the
# doc and what no longer holds.
#
#   check-docs.py ROOT [BUILD]
#
# - Every folder in the README's layout table is there, and every folder of
#   the tree that holds code or tests is in the table.
# - Every such folder has a README.md, and a CMakeLists.txt but host/ (a
#   header only), as docs/architecture.md says.
# - The platform concerns are named in one place, platform/README.md: one
#   entry per header there, and no other list of them in the README's or the
#   architecture's platform rows.
# - With BUILD (the build folder): the output formats the command names
#   (`ostrel --version`) are the ones its usage (--help), the README's usage
#   block and cli/README.md name, and the manual page's synopsis is the
#   usage's lines without "usage:".
# - The README names the full test command and the quick loop.
import gzip
import os
import re
import subprocess
import sys

ROOT = sys.argv[1]
BUILD = sys.argv[2] if len(sys.argv) > 2 else None
failures = []


def read(path):
    with open(os.path.join(ROOT, path), encoding="utf-8") as f:
        return f.read()


def fail(message):
    failures.append(message)


readme = read("README.md")
architecture = read("docs/architecture.md")

# ---- the folders
layout = readme[readme.index("| folder | what |"):]
layout = layout[:layout.index("\n\n")]
listed = set()
for cell in re.findall(r"^\| ([^|]+) \|", layout, re.M):
    listed.update(re.findall(r"`([^`/]+)/`", cell))
ignored = {"build", "node_modules", "cmake", ".ci", ".git"}
CODE = (".cpp", ".h", ".c", ".py", ".js", ".mjs", ".sh")
for name in sorted(os.listdir(ROOT)):
    path = os.path.join(ROOT, name)
    if not os.path.isdir(path) or name.startswith(".") or name.startswith("build") or name in ignored:
        continue
    holds_code = any(f.endswith(CODE) for _, _, files in os.walk(path) for f in files)
    if holds_code and name not in listed:
        fail(f"README.md: the layout table has no row for {name}/")
for name in sorted(listed):
    path = os.path.join(ROOT, name)
    if not os.path.isdir(path):
        fail(f"README.md: the layout table names {name}/, which is not there")
        continue
    if not any(f.endswith(CODE) for _, _, files in os.walk(path) for f in files):
        continue
    if not os.path.isfile(os.path.join(path, "README.md")):
        fail(f"docs/architecture.md: every folder has a README.md, but {name}/ has none")
    if name != "host" and not os.path.isfile(os.path.join(path, "CMakeLists.txt")):
        fail(f"docs/architecture.md: every folder of code but host/ has a CMakeLists.txt, "
             f"but {name}/ has none")

# ---- the platform concerns, listed once
platform = read("platform/README.md")
entries = set(re.findall(r"^- `(\w+)`", platform, re.M))
headers = {f[:-2] for f in os.listdir(os.path.join(ROOT, "platform")) if f.endswith(".h")}
for missing in sorted(headers - entries):
    fail(f"platform/README.md: no entry for {missing}.h")
for stale in sorted(entries - headers):
    fail(f"platform/README.md: an entry for {stale}, which has no header")
for doc, text in (("README.md", readme), ("docs/architecture.md", architecture)):
    row = re.search(r"^\| `platform/` \|.*$", text, re.M)
    named = set(re.findall(r"`(\w+)`", row.group(0))) & headers if row else set()
    if len(named) > 1:
        fail(f"{doc}: the platform row lists concerns ({', '.join(sorted(named))}); "
             "platform/README.md is the one list")

# ---- the commands the README names
for command in ("tools/run-tests", "ctest --preset default"):
    if command not in readme:
        fail(f"README.md: does not name `{command}`")

# ---- the command's own words
if BUILD:
    ostrel = os.path.join(BUILD, "ostrel")
    version = subprocess.run([ostrel, "--version"], capture_output=True, text=True).stdout
    formats = set(version.split("outputs:")[1].split("\n")[0].split())
    usage = subprocess.run([ostrel, "--help"], capture_output=True, text=True).stdout
    synopsis = usage[:usage.index("\n\n")]

    def named_formats(text):
        """The formats a text names: OUT.lwo|OUT.obj|..., --format lwo|obj|..."""
        found = set(re.findall(r"OUT\.([a-z0-9]+)", text))
        for group in re.findall(r"--format ([a-z0-9]+(?:\|[a-z0-9]+)+)", text):
            found.update(group.split("|"))
        return found

    block = readme[readme.index("## Using `ostrel`"):]
    block = block[block.index("```") + 3:]
    block = block[:block.index("```")]
    for where, text in (("ostrel --help", usage), ("README.md's usage block", block),
                        ("cli/README.md", read("cli/README.md"))):
        named = named_formats(text)
        if not named <= formats or not any(named_formats(line) == formats
                                           for line in text.splitlines()):
            fail(f"{where}: names the formats {' '.join(sorted(named))}, where --version "
                 f"names {' '.join(sorted(formats))}")
    page = os.path.join(BUILD, "man", "ostrel.1.gz")
    if os.path.exists(page):
        with gzip.open(page, "rt", encoding="utf-8") as f:
            man = f.read()
        shown = man[man.index(".SH SYNOPSIS\n.nf\n") + 17:man.index("\n.fi")].replace("\\e", "\\")
        wanted = re.sub(r"\n +", "\n", re.sub(r"^usage: ", "", synopsis))
        if shown != wanted:
            fail(f"the manual page's synopsis is\n{shown}\nnot the usage's lines\n{wanted}")

for message in failures:
    print(f"check-docs: {message}")
sys.exit(1 if failures else 0)
