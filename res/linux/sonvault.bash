# bash completion for sonvault: its two options, or a game folder.
_sonvault() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W '--help --version' -- "$cur")
  else
    compopt -o filenames
    mapfile -t COMPREPLY < <(compgen -d -- "$cur")
  fi
}
complete -F _sonvault sonvault
