#!/bin/sh
# Builds and runs the consumer the way a Makefile-based game would:
#   pkgconfig.sh PREFIX LIBDIR CC OUTDIR [EXTRA_FLAGS...]
# LIBDIR is relative to PREFIX. EXTRA_FLAGS go to the compiler and linker
# (the sanitizer build passes its own, so that its runtime loads first).
set -eu
prefix=$1
libdir=$2
cc=$3
out=$4
shift 4

export PKG_CONFIG_PATH="$prefix/$libdir/pkgconfig"
version=$(pkg-config --modversion animate)
echo "pkg-config finds animate $version"
pkg-config --atleast-version=4.0 animate
if pkg-config --exact-version=5.0.0 animate; then
  echo "animate claims version 5.0.0" >&2
  exit 1
fi

mkdir -p "$out"
here=$(dirname "$0")
# shellcheck disable=SC2046 # pkg-config's output is a list of flags
"$cc" -std=c11 -Wall -Wextra -pedantic -Werror "$@" -o "$out/consumer" "$here/consumer.c" \
  $(pkg-config --cflags --libs animate)
LD_LIBRARY_PATH="$prefix/$libdir" "$out/consumer"
