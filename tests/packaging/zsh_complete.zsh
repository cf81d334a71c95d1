# Usage: zsh -f zsh_complete.zsh COMPLETIONS_DIR WORD...
# Prints, one per line, the candidates that _nimbro offers for the last WORD.
# Only the completion system's primitives are stood in for: _describe and
# _files offer the names that start with the word being completed, as compadd
# would match them, and _message offers nothing.
fpath=("$1" $fpath)
shift
autoload -Uz _nimbro

_describe() {
  local name
  for name in ${${(P)${@[-1]}}%%:*}; do
    [[ $name == "$PREFIX"* ]] && print -r -- "$name"
  done
}
_files() {
  local name
  for name in *(N); do
    [[ $name == "$PREFIX"* ]] && print -r -- "$name"
  done
}
_message() { : }

words=("$@")
CURRENT=$#words
PREFIX=$words[-1]
IPREFIX=''
SUFFIX=''
_nimbro
