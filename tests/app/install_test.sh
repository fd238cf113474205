#!/usr/bin/env bash
# `cmake --install` into a scratch prefix: the programs, the desktop entry, the AppStream metadata
# and the icon land where a Linux desktop looks, and the launcher starts the program in the
# per-user data folder, through a symbolic link too. Usage: install_test.sh BUILD_DIR
set -euo pipefail
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
prefix=$scratch/prefix
cmake --install "$1" --prefix "$prefix" >/dev/null
for f in sonvault sonvault-cli sonvault-desktop; do
  [[ -x $prefix/bin/$f ]] || fail "$f is not installed as a program"
done
entry=$prefix/share/applications/org.example.sonvault.desktop
grep -qx 'Exec=sonvault-desktop %f' "$entry" || fail "the desktop entry does not start the launcher"
grep -qx 'Icon=sonvault' "$entry" || fail "the desktop entry names another icon"
[[ -s $prefix/share/icons/hicolor/scalable/apps/sonvault.svg ]] || fail "the icon is missing"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/org.example.sonvault.metainfo.xml" ||
    fail "AppStream metadata does not validate"
fi

# The launcher, beside a stand-in program that reports where it was started.
mkdir -p "$scratch/bin" "$scratch/home"
cp "$prefix/bin/sonvault-desktop" "$scratch/bin/"
printf '#!/bin/sh\necho "$PWD|$*"\n' >"$scratch/bin/sonvault"
chmod +x "$scratch/bin/sonvault"
ln -s "$scratch/bin/sonvault-desktop" "$scratch/home/link"
launch() { (cd / && HOME="$scratch/home" "$@"); }
[[ $(launch env -u XDG_DATA_HOME "$scratch/bin/sonvault-desktop" a "b c") == "$scratch/home/.local/share/sonvault|a b c" ]] ||
  fail "launcher without XDG_DATA_HOME"
[[ $(launch env XDG_DATA_HOME="$scratch/data" "$scratch/home/link") == "$scratch/data/sonvault|" ]] ||
  fail "launcher through a link, with XDG_DATA_HOME"
echo "1 passed, 0 failed"
