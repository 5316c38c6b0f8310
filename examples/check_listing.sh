#!/bin/sh
# The guide shows parts of an example: the lines between "/* guide: begin */"
# and "/* guide: end */" marks, four spaces of indent taken off, one blank
# line between parts. The code block right after the guide's
# "<!-- listing: NAME -->" line must be exactly those lines, so that the
# guide never shows code the suite does not build and run.
#
#   check_listing.sh GUIDE EXAMPLE NAME
set -eu
guide=$1
example=$2
name=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

awk '/\/\* guide: end \*\// { on = 0 }
     on { sub(/^    /, ""); print }
     /\/\* guide: begin \*\// { if (parts++) print ""; on = 1 }' "$example" >"$work/example"
awk -v mark="<!-- listing: $name -->" '
     $0 == mark { state = 1; next }
     state == 1 && /^```/ { state = 2; next }
     state == 2 && /^```/ { exit }
     state == 2 { print }' "$guide" >"$work/guide"

if [ ! -s "$work/example" ]; then
  echo "$example has no guide: marks"
  exit 1
fi
if ! diff -u "$work/guide" "$work/example"; then
  echo "the guide's listing \"$name\" is not the marked parts of $example (diff: guide, then example)"
  exit 1
fi
