#!/bin/sh
# Checks what a scratch install put where:
#   check_layout.sh PREFIX LIBDIR INCLUDEDIR VERSION
# The versioned library with its SONAME and the two links to it, the header,
# the CMake package with its version file, the pkg-config file naming the
# prefix, and nothing of the internals.
set -eu
prefix=$1
libdir=$prefix/$2
includedir=$prefix/$3
version=$4
major=${version%%.*}
status=0

fail() {
  echo "$*"
  status=1
}

for f in "$libdir/libanimate.so.$version" "$includedir/animate.h" \
         "$libdir/cmake/animate/animateConfig.cmake" \
         "$libdir/cmake/animate/animateConfigVersion.cmake" \
         "$libdir/cmake/animate/animateTargets.cmake" "$libdir/pkgconfig/animate.pc"; do
  [ -f "$f" ] || fail "missing: $f"
done
[ "$(readlink "$libdir/libanimate.so.$major")" = "libanimate.so.$version" ] ||
  fail "libanimate.so.$major does not link to libanimate.so.$version"
[ "$(readlink "$libdir/libanimate.so")" = "libanimate.so.$major" ] ||
  fail "libanimate.so does not link to libanimate.so.$major"
soname=$(objdump -p "$libdir/libanimate.so.$version" | awk '$1 == "SONAME" { print $2 }')
[ "$soname" = "libanimate.so.$major" ] || fail "SONAME is '$soname', not libanimate.so.$major"
grep -qx "prefix=$prefix" "$libdir/pkgconfig/animate.pc" ||
  fail "animate.pc does not name the prefix $prefix"

# The library needs the C++ standard library and nothing else (the
# sanitizer build adds its runtimes).
needed=$(objdump -p "$libdir/libanimate.so.$version" | awk '$1 == "NEEDED" { print $2 }' |
  grep -Ev '^(libstdc\+\+|libm|libgcc_s|libc|libasan|libubsan)\.so' || true)
[ -z "$needed" ] || fail "libanimate needs more than the C++ standard library: $needed"

# The SDL2 presenter, where it was built: the same set of files for it.
expected_headers=1
if [ -e "$libdir/libanimate_sdl.so.$version" ]; then
  expected_headers=2
  for f in "$includedir/animate_sdl.h" "$libdir/cmake/animate/animateSdlTargets.cmake" \
           "$libdir/pkgconfig/animate-sdl.pc"; do
    [ -f "$f" ] || fail "missing: $f"
  done
  [ "$(readlink "$libdir/libanimate_sdl.so")" = "libanimate_sdl.so.$major" ] ||
    fail "libanimate_sdl.so does not link to libanimate_sdl.so.$major"
  soname=$(objdump -p "$libdir/libanimate_sdl.so.$version" | awk '$1 == "SONAME" { print $2 }')
  [ "$soname" = "libanimate_sdl.so.$major" ] || fail "the presenter's SONAME is '$soname'"
fi

internals=$(find "$prefix" -name '*animate_internal*' -o -name '*.a' -o -name '*.o')
[ -z "$internals" ] || fail "internals installed: $internals"
# Only the public headers: internal headers stay in the source tree.
headers=$(find "$prefix" -name '*.h' | wc -l)
[ "$headers" -eq "$expected_headers" ] ||
  fail "$headers headers installed, expected $expected_headers (animate.h and the presenter's)"

[ "$status" -eq 0 ] && echo "install layout under $prefix is complete"
exit "$status"
