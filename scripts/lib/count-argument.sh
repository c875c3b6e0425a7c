# Sourced by the scripts that take one optional count (runs, seconds, copies, songs):
#   count_argument WORD DEFAULT "$@"
# prints the usage and exits 0 for -h/--help, prints it and exits 2 for anything but at
# most one positive whole number, and otherwise sets COUNT (DEFAULT when none was given).
# The script's name in the messages is that of the script sourcing this file.
count_argument() {
  local word=$1 default=$2 name
  shift 2
  name=$(basename "${BASH_SOURCE[1]}")
  local usage="usage: scripts/$name [$word]   ($word: a positive whole number, default $default)"
  case ${1:-} in -h | --help) echo "$usage"; exit 0 ;; esac
  if [ $# -gt 1 ] || ! [[ ${1:-$default} =~ ^[1-9][0-9]*$ ]]; then
    echo "$name: bad arguments: $*" >&2
    echo "$usage" >&2
    exit 2
  fi
  COUNT=${1:-$default}
}
