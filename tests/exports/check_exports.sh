#!/bin/sh
# Compares the shared library's dynamic symbols with the header's exports.
#   check_exports.sh HEADER LIBRARY
# Every function declared on a line starting with ANIM_API must be defined
# in the library, and the library must define nothing else. Prints each
# difference, in both directions, and fails on any.
set -eu
header=$1
library=$2

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sed -n 's/^ANIM_API [^(]*[ *]\([A-Za-z_][A-Za-z0-9_]*\)(.*/\1/p' "$header" \
  | sort -u > "$work/declared"
# Undefined and absolute symbols (the dynamic linker's own) are not ours.
nm -D --defined-only "$library" | awk '$2 != "A" && $2 != "U" { print $3 }' \
  | sed 's/@.*//' | sort -u > "$work/defined"

declared=$(wc -l < "$work/declared")
if [ "$declared" -eq 0 ]; then
  echo "no ANIM_API declarations found in $header" >&2
  exit 1
fi

missing=$(comm -23 "$work/declared" "$work/defined")
extra=$(comm -13 "$work/declared" "$work/defined")
status=0
if [ -n "$missing" ]; then
  echo "declared in $(basename "$header") but not defined by $(basename "$library"):"
  echo "$missing" | sed 's/^/  /'
  status=1
fi
if [ -n "$extra" ]; then
  echo "exported by $(basename "$library") but not declared in $(basename "$header"):"
  echo "$extra" | sed 's/^/  /'
  status=1
fi
if [ "$status" -eq 0 ]; then
  echo "$declared exports: header and library agree"
fi
exit "$status"
