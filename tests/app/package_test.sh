#!/usr/bin/env bash
# `cpack -G DEB` of a built tree: the package "sonvault" 1.0.0.1 holds both programs, the desktop
# entry, the icons, the AppStream file, the compressed manual pages, the bash completions and the
# copyright file under /usr; its libraries come from dpkg-shlibdeps and the SoundFont is
# recommended; the program it holds runs. lintian, where installed, warns of nothing.
# Usage: package_test.sh BUILD_DIR [CPACK]   (needs dpkg-deb and dpkg-shlibdeps)
set -euo pipefail
build=$1 cpack=${2:-cpack} scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; fail "cpack failed"; }
deb=$(echo "$scratch"/sonvault_1.0.0.1_*.deb)
[[ -f $deb ]] || fail "no package sonvault_1.0.0.1_*.deb"
field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == sonvault && $(field Version) == 1.0.0.1 ]] || fail "name or version"
[[ -n $(field Maintainer) && -n $(field Description) ]] || fail "no maintainer or description"
field Depends | grep -q 'libqt6multimedia6.*libsndfile1' || fail "depends on: $(field Depends)"
field Recommends | grep -q fluid-soundfont-gm || fail "the SoundFont is not recommended"
dpkg-deb -c "$deb" | awk '{ print $6 }' >"$scratch/files"
for f in bin/sonvault bin/sonvault-cli bin/sonvault-desktop \
  share/applications/org.example.sonvault.desktop share/metainfo/org.example.sonvault.metainfo.xml \
  share/icons/hicolor/scalable/apps/sonvault.svg share/icons/hicolor/32x32/apps/sonvault.png \
  share/man/man1/sonvault.1.gz share/man/man1/sonvault-cli.1.gz share/man/man1/sonvault-desktop.1.gz \
  share/bash-completion/completions/sonvault share/bash-completion/completions/sonvault-cli \
  share/doc/sonvault/copyright share/doc/sonvault/changelog.gz; do
  grep -qxF "./usr/$f" "$scratch/files" || fail "the package lacks /usr/$f"
done
dpkg-deb -x "$deb" "$scratch/root"
[[ $(env -u DISPLAY "$scratch/root/usr/bin/sonvault" --version) == "sonvault 1.0.0.1" ]] ||
  fail "the packaged program does not run"
zcat "$scratch/root/usr/share/man/man1/sonvault.1.gz" | grep -q '^\.SH OPTIONS' ||
  fail "the manual page has no options"
if command -v lintian >/dev/null; then lintian --fail-on warning "$deb" 2>/dev/null || fail "lintian warns"; fi
echo "1 passed, 0 failed"
