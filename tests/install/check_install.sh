#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and runs the installed
# programs from there: they must find their data beside themselves, not in
# the build tree. Validates the desktop entry and metainfo when the
# validators are installed.
set -euo pipefail
build=$1
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
DESTDIR="$dest" cmake --install "$build" >/dev/null
prefix="$dest$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")"
fail() { echo "FAIL: $*" >&2; exit 1; }

for p in lyra lyra-remote lyra-config tallon; do
  [ -x "$prefix/bin/$p" ] || fail "bin/$p not installed"
done
version=$("$prefix/bin/lyra" --version)
[[ $version =~ ^lyra\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "lyra --version said '$version'"
help=$("$prefix/bin/lyra" --help)
[[ $help == *--program-folder* ]] || fail "lyra --help lacks the options"
code=0; "$prefix/bin/lyra" --no-such-option 2>/dev/null || code=$?
[ "$code" -eq 2 ] || fail "an unknown option exits $code, not 2"

data="$prefix/share/lyra"
for f in TVTable.tbl VirtualStations.txt Language/Lang.cfg Language/English.lng skins/default/tv_normal.png; do
  [ -f "$data/$f" ] || fail "share/lyra/$f not installed"
done
# The manual the Help command opens, with the pictures it shows.
for lang in English German French; do
  page="$data/doc/Lyra_$lang.html"
  [ -f "$page" ] || fail "the $lang manual is not installed"
  for img in $(grep -o 'src="images/[^"]*"' "$page" | sed 's/^src="//; s/"$//'); do
    [ -f "$data/doc/$img" ] || fail "the $lang manual's $img is not installed"
  done
done
[ ! -e "$data/linux" ] || fail "the desktop files were installed as program data"
table=$("$prefix/bin/lyra-config" show "$data/TVTable.tbl" 0) \
  || fail "the installed lyra-config cannot read the installed TVTable.tbl"
[[ $table == *'"antenna"'* ]] || fail "lyra-config printed no antenna channels"
names=$("$prefix/bin/lyra-remote" --list)
[[ $names == *next-channel* ]] || fail "lyra-remote --list names no next-channel"

for size in 16 22 24 32 48 64 128 256; do
  [ -f "$prefix/share/icons/hicolor/${size}x${size}/apps/lyra.png" ] || fail "icon ${size}px missing"
done
for m in lyra lyra-remote lyra-config tallon; do
  [ -f "$prefix/share/man/man1/$m.1" ] || fail "manual page $m.1 missing"
done
desktop="$prefix/share/applications/lyra.desktop"
metainfo="$prefix/share/metainfo/io.github.lyra_tv.Lyra.metainfo.xml"
[ -f "$desktop" ] && [ -f "$metainfo" ] || fail "desktop entry or metainfo missing"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate"
else
  echo "desktop-file-validate not installed: desktop entry not validated"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$metainfo" >/dev/null || fail "appstreamcli validate"
else
  echo "appstreamcli not installed: metainfo not validated"
fi
if command -v man >/dev/null; then
  for m in lyra lyra-remote lyra-config; do
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' man --warnings -l "$prefix/share/man/man1/$m.1" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man page $m.1: $warnings"
  done
fi
echo "installed and ran from $prefix"
