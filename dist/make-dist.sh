#!/usr/bin/env bash
# Builds the setup program from a built tree: stripped programs, the help
# file, the filter lists and the filter library, then the NSIS script.
# Usage: make-dist.sh <build dir> <x64 Quorvane.dll> <x86 Quorvane.dll> [list folder]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
build="$(cd "$1" && pwd)"
lib64=$2
lib32=$3
lists=${4:-$root/src/filter/lists}
version=$(sed -n 's/^#define HALVENOR_VERSION_TEXT "\(.*\)"$/\1/p' "$root/src/res/version.h")
out="$build/dist"
stage="$out/stage"
rm -rf "$stage"
mkdir -p "$stage/lists" "$stage/x64" "$stage/x86"

x86_64-w64-mingw32-strip -o "$stage/Mossgrave.exe" "$build/Mossgrave.exe"
x86_64-w64-mingw32-strip -o "$stage/unins000.exe" "$build/unins000.exe"
cp "$root/src/res/mossgrave.ico" "$stage/setup.ico"
bash "$here/build-help.sh" "$out/help" "$stage/Telvaris.chm"

defines=(-DVERSION="$version" -DSTAGE="$stage" -DOUTFILE="$out/Halvenor-setup-$version.exe")
if compgen -G "$lists/*.txt" >/dev/null; then
  cp "$lists"/*.txt "$stage/lists/"
  defines+=(-DHAVE_LISTS)
else
  echo "dist: no filter lists in $lists; the setup installs none" >&2
fi

kb=0
for entry in "x64:64:$lib64" "x86:32:$lib32"; do
  arch=${entry%%:*}
  rest=${entry#*:}
  bits=${rest%%:*}
  lib=${rest#*:}
  if [ -f "$lib" ]; then
    cp "$lib" "$stage/$arch/Quorvane.dll"
    defines+=("-DHAVE_LIB$bits")
    kb=$((kb + ($(stat -c %s "$lib") + 1023) / 1024))
  else
    echo "dist: no $arch filter library at $lib; the setup installs none" >&2
  fi
done
defines+=(-DLIBRARY_KB=$kb)

makensis -V2 -INPUTCHARSET UTF8 "${defines[@]}" "$here/halvenor.nsi"
echo "dist: $out/Halvenor-setup-$version.exe"
