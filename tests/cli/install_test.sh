#!/usr/bin/env bash
# `cmake --install` into a scratch prefix: sonvault-cli, its manual page covering every command
# and its bash completion land where the system looks; with the window (second argument "gui"),
# the programs, the desktop entry, the AppStream metadata and the icon too, and the launcher
# starts the program in the per-user data folder, through a symbolic link too.
# Usage: install_test.sh BUILD_DIR [gui]
set -euo pipefail
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
prefix=$scratch/prefix
cmake --install "$1" --prefix "$prefix" >/dev/null
tool=$prefix/bin/sonvault-cli page=$prefix/share/man/man1/sonvault-cli.1
completion=$prefix/share/bash-completion/completions/sonvault-cli
[[ $("$tool" --version) == "sonvault-cli 1.0.0.1" ]] || fail "the installed tool does not run"
grep -q '^complete -F _sonvault_cli sonvault-cli$' "$completion" || fail "the completion"
commands=$("$tool" --help | sed -n '/^Subcommands:/,/^$/s/^  \([a-z][a-z0-9-]*\) .*/\1/p')
[[ -n $commands ]] || fail "no commands in --help"
for command in $commands; do
  grep -q "^\.SS $command\$" "$page" || fail "the manual page lacks $command"
  grep -q "Usage: sonvault-cli $command " "$page" || fail "no usage of $command"
done
[[ ${2:-} == gui ]] || exit 0

for f in sonvault sonvault-desktop; do [[ -x $prefix/bin/$f ]] || fail "$f is not installed"; done
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
