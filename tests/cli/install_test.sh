#!/usr/bin/env bash
# cmake --install of a built tree into a scratch prefix puts sonvault-cli, its manual page and its
# bash completion where the system looks for them, and the page covers every command.
# install_test.sh BUILD_FOLDER
set -euo pipefail
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" >/dev/null

tool=$prefix/bin/sonvault-cli
page=$prefix/share/man/man1/sonvault-cli.1
completion=$prefix/share/bash-completion/completions/sonvault-cli
for file in "$tool" "$page" "$completion"; do
    [[ -s $file ]] || { echo "not installed: $file"; exit 1; }
done
[[ $("$tool" --version) == "sonvault-cli 1.0.0.1" ]] || { echo "the installed tool does not run"; exit 1; }
grep -q '^complete -F _sonvault_cli sonvault-cli$' "$completion"

commands=$("$tool" --help | sed -n '/^Subcommands:/,/^$/s/^  \([a-z][a-z0-9-]*\) .*/\1/p')
[[ -n $commands ]] || { echo "no commands in --help"; exit 1; }
for command in $commands; do
    grep -q "^\.SS $command\$" "$page" || { echo "the manual page lacks $command"; exit 1; }
    grep -q "Usage: sonvault-cli $command " "$page" || { echo "no usage of $command"; exit 1; }
done
