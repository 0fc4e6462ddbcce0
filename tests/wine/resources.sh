#!/usr/bin/env bash
# The resources and imports of a built setup.exe, read back from the PE file.
#   resources.sh SETUP_EXE
here=$(cd "$(dirname "$0")" && pwd)
source "$here/lib.sh"
[ -f "$1" ] || fail "$1 not built (build the win64 and win32 presets first)"
need_packages python3-pefile
exec /usr/bin/python3 "$here/check_resources.py" "$1"
