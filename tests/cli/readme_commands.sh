#!/usr/bin/env bash
# Runs every command of the README's ```sh blocks in order, in a scratch folder laid out as the
# README expects, but for set-up scripts, builds (the tree is built already) and lines that need
# a sound device or a display.
# readme_commands.sh README BIN_FOLDER DEMO_FOLDER
set -euo pipefail
readme=$(realpath "$1") bin=$(realpath "$2") demo=$(realpath "$3") scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/build/demo" "$scratch/home"
ln -s "$bin" "$scratch/build/bin"
cp -r "$demo/Arena2" "$demo/Arena2-packed" "$scratch/build/demo/"
export HOME=$scratch/home
unset XDG_DATA_HOME
cd "$scratch"

awk '/^```sh$/ { on = 1; next } /^```/ { on = 0 } on' "$readme" >"$scratch/commands"
ran=0
while IFS= read -r line; do
    case $line in
    '' | '#'* | scripts/* | 'cmake --build '*) continue ;;
    *'(needs a sound device)'* | *'(needs a display)'*) continue ;;
    esac
    echo "+ $line"
    bash -euo pipefail -c "$line" </dev/null >"$scratch/out" 2>"$scratch/err" ||
        { echo "README command failed: $line"; cat "$scratch/err"; exit 1; }
    ran=$((ran + 1))
done <"$scratch/commands"

# A README whose blocks no longer parse would otherwise pass by running nothing.
((ran >= 10)) || { echo "only $ran README commands found"; exit 1; }
echo "$ran README commands ran"
