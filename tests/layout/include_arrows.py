#!/usr/bin/env python3
"""Checks every include line of the product against the README's layout table: a folder may
include its own headers, those of the folders it depends on (transitively), and Qt only where Qt is
among those. Prints each include that points the wrong way; exits 1 if there is any."""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
deps = {}  # folder -> the folders it depends on, plus "Qt" when a Qt module is named
for line in (root / "README.md").read_text(encoding="utf-8").splitlines():
    cells = [c.strip() for c in line.strip().strip("|").split("|")]
    if len(cells) != 4 or not cells[0].startswith("`"):
        continue
    needs = set(re.findall(r"`([a-z/]+/)`", cells[3])) | ({"Qt"} if "Qt" in cells[3] else set())
    for folder in re.findall(r"`([a-z/]+/)`", cells[0]) if cells[3] else ():  # none: tests
        deps[folder] = needs
if not deps:
    sys.exit("include_arrows: no layout table with a 'depends on' column in README.md")


def closure(folder):
    seen, todo = {folder}, [folder]
    while todo:
        for d in deps.get(todo.pop(), ()):
            if d not in seen:
                seen.add(d)
                todo.append(d)
    return seen


def owner(path):
    """The most specific folder in the table that holds path."""
    return max((f for f in deps if path.startswith(f)), key=len, default=None)


include = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
wrong, checked = [], 0
for source in sorted(root.rglob("*")):
    rel = source.relative_to(root).as_posix()
    folder = owner(rel)
    if source.suffix not in (".h", ".cpp") or not source.is_file():
        continue
    if folder is None:  # a product folder the table lost would otherwise go unchecked
        top = rel.split("/")[0]
        if "/" in rel and top not in ("tests", "bench", "fuzz", "tools") and \
                not top.startswith(("build", ".")) and (root / top / "CMakeLists.txt").exists():
            wrong.append(f"{rel}: in no folder of the layout table")
        continue
    allowed = closure(folder)
    for number, text in enumerate(source.read_text(encoding="utf-8").splitlines(), 1):
        m = include.match(text)
        checked += bool(m)
        if not m:
            continue
        kind, target = m.groups()
        if kind == "<":
            if re.match(r"Q[A-Za-z]*(/|$)", target) and "Qt" not in allowed:
                wrong.append(f"{rel}:{number}: {folder} includes Qt <{target}>")
        elif "/" in target and not (source.parent / target).exists():  # not a header beside it
            if owner(target) is not None and owner(target) not in allowed:
                wrong.append(f"{rel}:{number}: {folder} includes {target}")

print("\n".join(wrong + [f"include_arrows: {checked} include lines, {len(wrong)} against it"]))
sys.exit(1 if wrong else 0)
