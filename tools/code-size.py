#!/usr/bin/env python3
"""Lists the source files over a length and the functions over a length, so a
newcomer never meets a file that holds several concerns or a function that
must be read in one piece from a long scroll.

    tools/code-size.py [--check] [--file-lines N] [--function-lines N] [ROOT]

Files: every source, build and script file git tracks (C++, Python,
JavaScript, shell, CMake), tests and generators included; data and prose
(models, traces, JSON, Markdown) are not code. Functions: C++ function
bodies and test bodies at namespace or class level (a lambda inside one
counts with it), Python `def`s, JavaScript `function`s, shell functions.
A length is the lines from the line that opens the body to the one that
closes it.

Tables of data are left aside (TABLES below): a long initialiser is read by
looking a row up, not from top to bottom.

Exit status: 0; with --check, 1 when anything is over a limit.
"""
import argparse
import importlib.util
import os
import re
import sys

CODE = re.compile(r"(\.(cpp|h|c|py|js|mjs|sh|cmake)|CMakeLists\.txt|/run-tests)$")
SKIP = re.compile(r"(^|/)(node_modules|build[^/]*)/")
# Files that are tables of data rather than code.
TABLES = set()


def tracked(root):
    # The include check's listing: what git tracks, or every file outside a
    # checkout.
    spec = importlib.util.spec_from_file_location(
        "check_includes", os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                       "check-includes.py"))
    check_includes = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(check_includes)
    return sorted(p for p in check_includes.listed(root) if p and CODE.search(p)
                  and not SKIP.search(p) and p not in TABLES
                  and os.path.isfile(os.path.join(root, p)))


def blank_c(text):
    """The text with comments, strings and characters blanked (newlines kept)
    and preprocessor lines emptied, so that braces are the code's own."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            out.append(" " * (j - i))
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append(re.sub(r"[^\n]", " ", text[i:j]))
            i = j
        elif text.startswith('R"', i) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            m = re.match(r'R"([^(\s]*)\(', text[i:])
            if not m:
                out.append(c)
                i += 1
                continue
            end = text.find(")" + m.group(1) + '"', i)
            j = n if end < 0 else end + len(m.group(1)) + 2
            out.append('""' + re.sub(r"[^\n]", " ", text[i + 2:j]))
            i = j
        elif c in "\"'":
            if c == "'" and i > 0 and text[i - 1].isalnum():  # digit separator 1'000
                out.append(" ")
                i += 1
                continue
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            j = min(j + 1, n)
            out.append(c + re.sub(r"[^\n]", " ", text[i + 1:j - 1]) + c)
            i = j
        else:
            out.append(c)
            i += 1
    lines = "".join(out).split("\n")
    cont = False
    for k, line in enumerate(lines):
        if cont or line.lstrip().startswith("#"):
            cont = line.rstrip().endswith("\\")
            lines[k] = ""
    return "\n".join(lines)


CONTROL = re.compile(r"^(if|for|while|switch|catch|do|else|return)\b")
SCOPE = re.compile(r"\b(namespace|class|struct|union|enum)\b|^extern\s*\"")


def c_functions(text):
    """(name, first line, line count) of each function body at namespace or
    class level."""
    code = blank_c(text)
    found = []
    stack = []  # per open brace: "scope", "function" or "block"
    head_start = 0
    line = 1
    open_line = 0
    name = ""
    for i, c in enumerate(code):
        if c == "\n":
            line += 1
        elif c in ";":
            if not stack or stack[-1] == "scope":
                head_start = i + 1
        elif c == "{":
            if stack and stack[-1] != "scope":
                stack.append("block")
                continue
            head = " ".join(code[head_start:i].split())
            kind = "block"
            if SCOPE.search(head) and "(" not in head.split("{")[0] or head.startswith("extern"):
                kind = "scope"
            elif re.search(r"\)[\w\s:&<>,\->]*$", head) and not CONTROL.match(head) \
                    and not head.rstrip().endswith("="):
                kind = "function"
                m = re.search(r"([~\w:]+)\s*\((?:[^()]|\([^()]*\))*\)[^()]*$", head)
                name = m.group(1) if m else head[:40]
                if name in ("TEST", "TEST_F", "TEST_P") or name.endswith("::TEST"):
                    args = re.search(r"\(([^)]*)\)", head[head.find(name):])
                    name = args.group(1).replace(" ", "") if args else name
                open_line = line
            stack.append(kind)
            head_start = i + 1
        elif c == "}":
            kind = stack.pop() if stack else "scope"
            if kind == "function":
                found.append((name, open_line, line - open_line + 1))
            if not stack or stack[-1] == "scope":
                head_start = i + 1
    return found


def py_functions(text):
    found = []
    lines = text.split("\n")
    defs = [(k, len(l) - len(l.lstrip()), re.match(r"\s*(?:async\s+)?def\s+(\w+)", l).group(1))
            for k, l in enumerate(lines) if re.match(r"\s*(?:async\s+)?def\s+\w+", l)]
    for k, indent, name in defs:
        end = k
        for j in range(k + 1, len(lines)):
            s = lines[j]
            if s.strip() and len(s) - len(s.lstrip()) <= indent and not s.lstrip().startswith(")"):
                break
            if s.strip():
                end = j
        found.append((name, k + 1, end - k + 1))
    # A nested def counts within its enclosing one only.
    outer = [f for f in found if not any(o[1] < f[1] and f[1] + f[2] <= o[1] + o[2] and o != f
                                         for o in found)]
    return outer


def braced_functions(text, opener):
    """JavaScript `function NAME(` and shell `NAME() {` bodies, by braces."""
    found = []
    code = blank_c(text) if opener == "js" else re.sub(r"#.*", "", text)
    pattern = (re.compile(r"\bfunction\s*(\w*)\s*\([^)]*\)\s*\{") if opener == "js"
               else re.compile(r"^(?:function\s+)?(\w[\w-]*)\s*\(\)\s*\{", re.M))
    for m in pattern.finditer(code):
        depth = 0
        for j in range(m.end() - 1, len(code)):
            if code[j] == "{":
                depth += 1
            elif code[j] == "}":
                depth -= 1
                if depth == 0:
                    first = code.count("\n", 0, m.start()) + 1
                    last = code.count("\n", 0, j) + 1
                    found.append((m.group(1) or "(anonymous)", first, last - first + 1))
                    break
    outer = [f for f in found if not any(o[1] < f[1] and f[1] + f[2] <= o[1] + o[2]
                                         for o in found)]
    return outer


def functions(path, text):
    if re.search(r"\.(cpp|h|c)$", path):
        return c_functions(text)
    if path.endswith(".py"):
        return py_functions(text)
    if re.search(r"\.(js|mjs)$", path):
        return braced_functions(text, "js")
    if path.endswith(".sh") or path.endswith("/run-tests"):
        return braced_functions(text, "sh")
    return []


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("root", nargs="?", default=os.path.join(os.path.dirname(__file__), ".."))
    parser.add_argument("--check", action="store_true", help="exit 1 when anything is over")
    parser.add_argument("--file-lines", type=int, default=500)
    parser.add_argument("--function-lines", type=int, default=80)
    args = parser.parse_args()
    long_files, long_functions = [], []
    for path in tracked(args.root):
        with open(os.path.join(args.root, path), encoding="utf-8", errors="replace") as f:
            text = f.read()
        count = text.count("\n") + (0 if text.endswith("\n") or not text else 1)
        if count > args.file_lines:
            long_files.append((count, path))
        for name, first, length in functions(path, text):
            if length > args.function_lines:
                long_functions.append((length, f"{path}:{first}", name))
    print(f"files over {args.file_lines} lines: {len(long_files)}")
    for count, path in sorted(long_files, reverse=True):
        print(f"  {count:5}  {path}")
    print(f"functions over {args.function_lines} lines: {len(long_functions)}")
    for length, where, name in sorted(long_functions, reverse=True):
        print(f"  {length:5}  {where}  {name}")
    return 1 if args.check and (long_files or long_functions) else 0


if __name__ == "__main__":
    sys.exit(main())
