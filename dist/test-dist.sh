#!/usr/bin/env bash
# Tests the setup program built by make-dist.sh: the help file as a CHM,
# then install and uninstall under Wine in a prefix made fresh for this run.
# Usage: test-dist.sh <build dir>
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
build="$(cd "$1" && pwd)"
version=$(sed -n 's/^#define HALVENOR_VERSION_TEXT "\(.*\)"$/\1/p' "$root/src/res/version.h")
stage="$build/dist/stage"
setup="$build/dist/Halvenor-setup-$version.exe"
[ -f "$setup" ] || { echo "test-dist: no $setup (make dist)" >&2; exit 1; }
fail() { echo "test-dist: FAILED: $*" >&2; exit 1; }

# The help file: a CHM, with every topic, its contents tree and its index.
chm="$stage/Telvaris.chm"
[ "$(head -c 4 "$chm")" = "ITSF" ] || fail "Telvaris.chm has no CHM header"
listing=$(7z l "$chm")
grep -q '^Type = Chm' <<<"$listing" || fail "7z does not read Telvaris.chm as a CHM"
topics=(index password mainwindow page-password page-content page-time page-program page-chat
        tray save-exit uninstall filter lost-password)
for t in "${topics[@]}" toc.hhc index.hhk; do
  case $t in *.*) f=$t ;; *) f=$t.html ;; esac
  grep -q " $f\$" <<<"$listing" || fail "Telvaris.chm lacks $f"
done
grep -q ' images/.*\.png$' <<<"$listing" || fail "Telvaris.chm has no screenshots"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
7z x -o"$tmp" "$chm" toc.hhc index.hhk >/dev/null
toc=$(iconv -f GBK -t UTF-8 "$tmp/toc.hhc")
for title in 密码与初始密码 密码设置 内容过滤设置 时间限制设置 程序过滤设置 聊天限制设置 通知区域图标 \
             保存与退出 卸载 过滤器能看到什么、不能看到什么 忘记密码怎么办; do
  grep -q "value=\"$title\"" <<<"$toc" || fail "contents tree lacks \"$title\""
done
grep -q 'text/sitemap' "$tmp/index.hhk" || fail "index.hhk has no entries"
echo "test-dist: Telvaris.chm: CHM header, ${#topics[@]} topics, contents tree and index"

# Install and uninstall in a fresh prefix.
source "$root/scripts/wine-common.sh"
prefix="$build/dist-prefix"
export WINEPREFIX="$prefix" WINEDEBUG="${WINEDEBUG:--all}" WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
export DISPLAY="${MOSSGRAVE_DISPLAY:-:77}"
"$root/scripts/xvfb.sh" "$DISPLAY"
[ -d "$prefix" ] && { wineserver -k 2>/dev/null || true; rm -rf "$prefix"; }
mkdir -p "$prefix"
wineboot -i >/dev/null 2>&1 || true
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wineserver -w

export HALVENOR_SETUP="$(winpath "$setup")" HALVENOR_STAGE="$(winpath "$stage")"
export HALVENOR_LIB64=0 HALVENOR_LIB32=0
[ -f "$stage/x64/Quorvane.dll" ] && HALVENOR_LIB64=1
[ -f "$stage/x86/Quorvane.dll" ] && HALVENOR_LIB32=1
HALVENOR_LISTS=$(cd "$stage/lists" && ls -1 2>/dev/null | paste -sd ';' || true)
export HALVENOR_LISTS
status=0
wine "$build/dist_tests.exe" --gtest_color=no || status=$?
wineserver -k 2>/dev/null || true
[ $status -eq 0 ] || fail "install tests"
rm -rf "$prefix"
echo "test-dist: passed"
