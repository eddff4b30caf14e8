#!/usr/bin/env bash
# Compiles the help file Telvaris.chm from dist/help (UTF-8 sources, turned
# into GBK, the help viewer's code page for Chinese) and the screenshots.
# Usage: build-help.sh <work folder> <output .chm>
set -euo pipefail
src="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$src")"
work=$1
out=$2
rm -rf "$work"
mkdir -p "$work/images"
for f in "$src"/help/*; do
  case "$f" in
    *.html|*.hhc|*.hhk|*.hhp) iconv -f UTF-8 -t GBK "$f" > "$work/$(basename "$f")" ;;
    *) cp "$f" "$work/" ;;
  esac
done
# Every picture the topics name must exist: a missing one would only show
# as a broken image in the viewer.
for img in $(grep -ho 'images/[A-Za-z0-9._-]*\.png' "$src"/help/*.html "$src"/help/*.hhp | sort -u); do
  cp "$root/screenshots/${img#images/}" "$work/$img"
done
(cd "$work" && chmcmd --no-html-scan Telvaris.hhp > chmcmd.log 2>&1) || { cat "$work/chmcmd.log"; exit 1; }
mkdir -p "$(dirname "$out")"
cp "$work/Telvaris.chm" "$out"
