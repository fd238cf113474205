#!/usr/bin/env bash
# The bash completion of sonvault-cli, driven as bash drives it: completion_test.sh SCRIPT TOOL.
# Each case is the words typed so far (the last one being completed) and what must be offered.
set -u
source "$1"
tool=$2
failures=0

offered() { # WORDS...: prints the offers, one per line, sorted
    COMP_WORDS=("$tool" "$@")
    COMP_CWORD=$#
    _sonvault_cli
    printf '%s\n' "${COMPREPLY[@]}" | sort
}

expect() { # EXPECTED -- WORDS...
    local expected=$1
    shift 2
    local got
    got=$(offered "$@" | paste -sd' ')
    if [[ $got != "$expected" ]]; then
        echo "FAIL: '$*' offered '$got', expected '$expected'"
        failures=$((failures + 1))
    fi
}

contains() { # WORD -- WORDS...
    local word=$1
    shift 2
    if ! offered "$@" | grep -qx -- "$word"; then
        echo "FAIL: '$*' does not offer '$word'"
        failures=$((failures + 1))
    fi
}

expect 'convert explode export extract list rebuild render' -- ''
expect 'explode export extract' -- ex
expect '--help --version' -- --
expect '--work' -- list Arena2 --w
expect '--verbose' -- list --verb
for option in --effects --songs --work; do
    contains "$option" -- export Arena2 --
done
contains --limit -- explode in out --
expect 'effect song' -- extract Arena2 ''
expect 'song' -- extract --work w Arena2 s
expect '' -- bogus --x

# Values of folder options and positionals complete as names on disk.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/fx-folder"
touch "$scratch/fx-file"
expect "$scratch/fx-folder" -- export Arena2 --effects "$scratch/fx"
expect "$scratch/fx-file $scratch/fx-folder" -- convert "$scratch/fx"

exit $((failures > 0))
