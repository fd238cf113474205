#!/usr/bin/env bash
# `cmake --install` into a scratch prefix: the programs, the desktop entry, the AppStream
# metadata and the icons land where a Linux desktop looks for them, and the desktop launcher
# starts the program in the per-user data folder, creating it.
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/sonvault bin/sonvault-cli bin/sonvault-desktop; do
  [[ -x $prefix/$f ]] || fail "$f is not installed as a program"
done
# The entry starts the launcher and names an icon that is there.
entry=$prefix/share/applications/org.example.sonvault.desktop
grep -qx 'Exec=sonvault-desktop %f' "$entry" || fail "the desktop entry does not start the launcher"
grep -qx 'Icon=sonvault' "$entry" || fail "the desktop entry names another icon"
[[ -s $prefix/share/icons/hicolor/scalable/apps/sonvault.svg ]] || fail "the icon is missing"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/org.example.sonvault.metainfo.xml" >"$scratch/as.log" 2>&1 ||
    { cat "$scratch/as.log"; fail "AppStream metadata does not validate"; }
fi

# The launcher, with a stand-in program beside it that reports where it was started.
mkdir -p "$scratch/bin" "$scratch/home"
cp "$prefix/bin/sonvault-desktop" "$scratch/bin/"
printf '#!/bin/sh\necho "$PWD|$*"\n' >"$scratch/bin/sonvault"
chmod +x "$scratch/bin/sonvault"
got=$(cd / && env -u XDG_DATA_HOME HOME="$scratch/home" "$scratch/bin/sonvault-desktop" a "b c")
[[ $got == "$scratch/home/.local/share/sonvault|a b c" ]] || fail "launcher without XDG_DATA_HOME: $got"
got=$(cd / && HOME="$scratch/home" XDG_DATA_HOME="$scratch/data" "$scratch/bin/sonvault-desktop")
[[ $got == "$scratch/data/sonvault|" ]] || fail "launcher with XDG_DATA_HOME: $got"
# Started through a symbolic link, it still finds the program beside its real self.
ln -s "$scratch/bin/sonvault-desktop" "$scratch/home/link"
got=$(HOME="$scratch/home" XDG_DATA_HOME="$scratch/data" "$scratch/home/link")
[[ $got == "$scratch/data/sonvault|" ]] || fail "launcher through a link: $got"
echo "1 passed, 0 failed"
