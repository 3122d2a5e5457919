#!/bin/sh
# bind-evlink4-path.sh PROGRAM PATH
# Writes PATH, the absolute path of the installed EVLINK4 library, into the
# installed PROGRAM's path slot (board/link_evlink4.cpp): the text after the
# tag, up to a zero byte. Used by `cmake --install`; the program keeps its
# size and layout. A program without the slot is left alone.
set -eu
program=$1
path=$2
tag='EVLINK4 library path:'
room=4096
export LC_ALL=C

case $path in
/*) ;;
*) echo "bind-evlink4-path: not an absolute path: $path" >&2; exit 1 ;;
esac
offsets=$(grep -obUaF -- "$tag" "$program" | cut -d: -f1) || true
[ -n "$offsets" ] || exit 0
if [ "$(printf '%s\n' "$offsets" | wc -l)" -ne 1 ]; then
  echo "bind-evlink4-path: $program holds the tag more than once" >&2
  exit 1
fi
if [ $((${#tag} + ${#path})) -ge $room ]; then
  echo "bind-evlink4-path: path too long: $path" >&2
  exit 1
fi
printf '%s\000' "$path" |
  dd of="$program" bs=1 seek=$((offsets + ${#tag})) conv=notrunc status=none
