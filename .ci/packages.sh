#!/usr/bin/env bash
# Package check: makes the .deb, installs it with apt-get, uses the installed programs from the
# PATH in an empty folder, validates the desktop entry, the AppStream metadata and a manual page,
# then removes the package and checks that nothing of it is left.
set -euo pipefail

cd "$(dirname "$0")/.."
root=$(pwd)
work=$(mktemp -d /tmp/quarvel-packages.XXXXXX)
source .ci/common.sh

need_packages dpkg-dev help2man desktop-file-utils appstream man-db

step "making the .deb"
build_preset default
scripts/package.sh deb >"$work/package.log" 2>&1 || { tail -20 "$work/package.log"; fail "scripts/package.sh deb"; }
deb=$(echo "$root"/build/packages/quarvel_*.deb)
[[ -f $deb ]] || fail "no .deb in build/packages"
dpkg-deb -f "$deb" Depends

step "installing $deb"
DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -qq "$deb" \
  >"$work/install.log" 2>&1 || { tail -20 "$work/install.log"; fail "apt-get install $deb"; }
dpkg-query -L quarvel | sort >"$work/files"
trap 'apt-get purge -y -qq quarvel >/dev/null 2>&1 || true' EXIT

step "the installed programs from the PATH in an empty folder"
for program in quarvel quarvel-capture xmrender; do
  [[ $(command -v "$program") == /usr/bin/$program ]] || fail "$program is not /usr/bin/$program"
done
# Two frames of the greetings: the same bytes as the build tree draws.
empty="$work/empty"
mkdir "$empty"
(cd "$empty" && quarvel-capture --png frames --frames 3700:3701 >"$work/capture.log" 2>&1) ||
  { cat "$work/capture.log"; fail "quarvel-capture from the PATH"; }
grep -q "not found" "$work/capture.log" && { cat "$work/capture.log"; fail "the installed data was not found"; }
build/default/bin/quarvel-capture --data build/default/data --png "$work/reference" \
  --frames 3700:3701 >/dev/null 2>&1 || fail "quarvel-capture of the build tree"
for frame in frame-03700.png frame-03701.png; do
  cmp "$empty/frames/$frame" "$work/reference/$frame" || fail "$frame differs from the build tree's"
done
(cd "$empty" && xmrender /usr/share/quarvel/zyl-mirvash2.xm song.wav --seconds 10) ||
  fail "xmrender from the PATH"
build/default/bin/xmrender data/zyl-mirvash2.xm "$work/song.wav" --seconds 10 || fail "xmrender"
cmp "$empty/song.wav" "$work/song.wav" || fail "the installed xmrender's WAV differs"
[[ $(quarvel --version) == "quarvel $(dpkg-deb -f "$deb" Version)" ]] || fail "quarvel --version"
rm -r "$empty"

step "desktop entry, AppStream metadata, manual page"
desktop-file-validate /usr/share/applications/quarvel.desktop || fail "desktop-file-validate"
appstreamcli validate --no-net /usr/share/metainfo/io.github.quarvel.Quarvel.metainfo.xml ||
  fail "appstreamcli validate"
[[ -s /usr/share/icons/hicolor/192x192/apps/quarvel.png ]] || fail "no icon"
MANWIDTH=80 man xmrender 2>/dev/null >"$work/xmrender.man" || fail "man xmrender"
grep -q "render an XM module to a WAV file" "$work/xmrender.man" || { cat "$work/xmrender.man"; fail "man xmrender"; }
grep -q -- "--seconds" "$work/xmrender.man" || fail "man xmrender lacks the options"

step "removing the package"
apt-get purge -y -qq quarvel >"$work/remove.log" 2>&1 || { cat "$work/remove.log"; fail "apt-get purge quarvel"; }
trap - EXIT
! dpkg-query -W -f='${Status}' quarvel 2>/dev/null | grep -q "ok installed" || fail "quarvel is still installed"
left=()
while read -r path; do
  # Folders such as /usr/share/man belong to other packages too.
  [[ -e $path && ! -d $path ]] && left+=("$path")
done <"$work/files"
[[ -d /usr/share/quarvel ]] && left+=(/usr/share/quarvel)
((${#left[@]} == 0)) || fail "left behind: ${left[*]}"
command -v quarvel-capture >/dev/null && fail "quarvel-capture is still on the PATH"

step "all package checks passed"
