#!/usr/bin/env bash
# Installs a build into WORK/prefix, checks what lies there, then builds use_imagelib.c
# against the installed copy twice, with `pkg-config --cflags --libs imagelib` and through
# find_package(imagelib), and runs both programs.
# usage: check_install.sh CMAKE BUILD_DIR WORK_DIR LIBDIR C_COMPILER "EXTRA_FLAGS"
set -euo pipefail
cmake=$1 build=$2 work=$3 libdir_name=$4 cc=$5 flags=$6
here=$(cd "$(dirname "$0")" && pwd)
source_root=$(cd "$here/../.." && pwd)
prefix=$work/prefix
libdir=$prefix/$libdir_name
fail() { echo "check_install: $*" >&2; exit 1; }

rm -rf "$work"
mkdir -p "$work"
"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log"

# Only the two libraries and what it takes to use them: no programs, tests or tools.
others=$(cd "$prefix" && find . -mindepth 1 -maxdepth 1 ! -name include ! -name lib -print)
[ -z "$others" ] || fail "installed outside include/ and lib/: $others"
for f in include/imagelib.h include/win32/global_memory.h include/win32/types.h \
         include/win32/gdi.h "$libdir_name/libimagelib.so" "$libdir_name/libwin32.so" \
         "$libdir_name/pkgconfig/imagelib.pc" "$libdir_name/pkgconfig/win32.pc" \
         "$libdir_name/cmake/imagelib/imagelibConfig.cmake"; do
  [ -e "$prefix/$f" ] || fail "missing $f"
done
unexpected=$(cd "$libdir" && find . -mindepth 1 -maxdepth 1 ! -name 'libimagelib.so*' \
             ! -name 'libwin32.so*' ! -name pkgconfig ! -name cmake -print)
[ -z "$unexpected" ] || fail "unexpected in $libdir_name: $unexpected"
[ "$(readlink "$libdir/libimagelib.so")" = libimagelib.so.1 ] || fail "libimagelib.so is no link to .so.1"
if grep -rl -e "$build" -e "$source_root" "$prefix" --include='*.pc' --include='*.cmake'; then
  fail "installed package files name the build or source tree"
fi
# libimagelib finds libwin32 beside itself, and only there.
runpath=$(readelf -d "$libdir/libimagelib.so" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p')
[ "$runpath" = '$ORIGIN' ] || fail "RUNPATH of libimagelib.so is '$runpath'"

# Through pkg-config. The installed libraries are found at run time through the rpath.
read -r -a extra <<<"$flags"
export PKG_CONFIG_PATH=$libdir/pkgconfig
read -r -a pc <<<"$(pkg-config --cflags --libs imagelib)"
"$cc" -std=c11 -Wall -Wextra -Wpedantic -Werror "${extra[@]}" "$here/use_imagelib.c" \
  -o "$work/use_imagelib_pc" "${pc[@]}" -Wl,-rpath,"$libdir"
"$work/use_imagelib_pc"

# Through find_package(imagelib CONFIG) in a project of its own.
"$cmake" -S "$here/consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_C_COMPILER="$cc" -DCMAKE_C_FLAGS="$flags -Wall -Wextra -Werror" \
  -DCMAKE_EXE_LINKER_FLAGS="$flags" >"$work/consumer.log"
grep -q "^imagelib_DIR:PATH=$libdir/cmake/imagelib\$" "$work/consumer/CMakeCache.txt" ||
  fail "find_package found another imagelib: $(grep imagelib_DIR "$work/consumer/CMakeCache.txt")"
"$cmake" --build "$work/consumer" >>"$work/consumer.log"
"$work/consumer/use_imagelib"
