#!/bin/sh
# Builds and runs a consumer the way a Makefile-based game would:
#   pkgconfig.sh PREFIX LIBDIR CC OUTDIR PACKAGE PROGRAM [EXTRA_FLAGS...]
# LIBDIR is relative to PREFIX; PACKAGE is animate or animate-sdl, PROGRAM
# the consumer's name (its source is PROGRAM.c beside this script).
# EXTRA_FLAGS go to the compiler and linker (the sanitizer build passes its
# own, so that its runtime loads first).
set -eu
prefix=$1
libdir=$2
cc=$3
out=$4
package=$5
program=$6
shift 6

export PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig"
version=$(pkg-config --modversion "$package")
echo "pkg-config finds $package $version"
pkg-config --atleast-version=4.0 "$package"
if pkg-config --exact-version=5.0.0 "$package"; then
  echo "$package claims version 5.0.0" >&2
  exit 1
fi

mkdir -p "$out"
here=$(dirname "$0")
# shellcheck disable=SC2046 # pkg-config's output is a list of flags
"$cc" -std=c11 -Wall -Wextra -pedantic -Werror "$@" -o "$out/$program" "$here/$program.c" \
  $(pkg-config --cflags --libs "$package")
LD_LIBRARY_PATH="$prefix/$libdir" "$out/$program"
