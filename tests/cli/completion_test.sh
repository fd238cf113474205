#!/usr/bin/env bash
# The bash completion of sonvault-cli, driven as bash drives it: completion_test.sh SCRIPT TOOL.
# Each case is what must be offered, then the words typed so far (the last one being completed).
set -u
source "$1"
tool=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/fx-folder"
touch "$scratch/fx-file"
failures=0
expect() { # EXPECTED WORDS...
    local expected=$1 got
    shift
    COMP_WORDS=("$tool" "$@")
    COMP_CWORD=$#
    _sonvault_cli
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd' ')
    [[ $got == "$expected" ]] || { echo "FAIL: '$*' offered '$got', expected '$expected'"; failures=$((failures + 1)); }
}
expect 'convert explode export extract list rebuild render' ''
expect '--help --version' --
expect '--verbose' list --verb
expect '--format' render in out --form
expect 'flac ogg wav' render in out --format ''
expect 'fm' export Arena2 --audio a --voice f
expect 'song' extract --work w Arena2 s
expect '' bogus --x
# Values of folder options and positionals complete as names on disk.
expect "$scratch/fx-folder" export Arena2 --effects "$scratch/fx"
expect "$scratch/fx-file $scratch/fx-folder" convert "$scratch/fx"
exit $((failures > 0))
