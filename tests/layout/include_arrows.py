#!/usr/bin/env python3
"""Reads the README's layout table and checks every include line of the product's folders
against it: a folder may include its own headers, those of the folders it depends on (and
theirs, transitively), and Qt only where Qt is among those. Prints each include that points the
wrong way; exits 1 if there is any."""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
readme = (root / "README.md").read_text(encoding="utf-8")

deps = {}  # folder -> set of folders, plus "Qt" when a Qt module is named
for line in readme.splitlines():
    cells = [c.strip() for c in line.strip().strip("|").split("|")]
    if len(cells) != 4 or not cells[0].startswith("`"):
        continue
    folders = re.findall(r"`([a-z/]+/)`", cells[0])
    needs = set(re.findall(r"`([a-z/]+/)`", cells[3]))
    if "Qt" in cells[3]:
        needs.add("Qt")
    if not needs:
        continue  # tests, benchmarks and fuzz targets may use anything
    for folder in folders:
        deps[folder] = needs
if not deps:
    sys.exit("include_arrows: no layout table with a 'depends on' column in README.md")


def closure(folder):
    seen, todo = set(), [folder]
    while todo:
        for d in deps.get(todo.pop(), ()):
            if d not in seen:
                seen.add(d)
                if d != "Qt":
                    todo.append(d)
    return seen


def owner(path):
    """The most specific folder in the table that holds path."""
    best = None
    for folder in deps:
        if path.startswith(folder) and (best is None or len(folder) > len(best)):
            best = folder
    return best


include = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')
wrong = []
checked = 0
for source in sorted(root.rglob("*")):
    if source.suffix not in (".h", ".cpp") or not source.is_file():
        continue
    rel = source.relative_to(root).as_posix()
    folder = owner(rel)
    if folder is None:
        continue
    allowed = closure(folder) | {folder}
    for number, text in enumerate(source.read_text(encoding="utf-8").splitlines(), 1):
        m = include.match(text)
        if not m:
            continue
        checked += 1
        target = m.group(2)
        if m.group(1) == "<":
            if re.match(r"Q[A-Za-z]*(/|$)", target) and "Qt" not in allowed:
                wrong.append(f"{rel}:{number}: {folder} includes Qt <{target}>")
            continue
        if "/" not in target or (source.parent / target).exists():
            continue  # a header beside the source
        target_folder = owner(target)
        if target_folder is not None and target_folder not in allowed:
            wrong.append(f"{rel}:{number}: {folder} includes {target}")

for w in wrong:
    print(w)
print(f"include_arrows: {checked} include lines, {len(wrong)} against the table")
sys.exit(1 if wrong else 0)
