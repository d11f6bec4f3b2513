#!/usr/bin/env bash
# Makes the Debian package from a build of its own (default build/deb: configured for /usr with
# the hardening flags, without tests), checks its hardening, installs it with apt-get, checks
# the installed programs, the Python module and that the desktop finds the entry and its icon, then removes the package and checks
# that nothing of it remains. Needs root; run by continuous integration.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
source scripts/shows.sh
ensure_packages "${DEB_PACKAGES[@]}"
build=$(realpath -m "${1:-build/deb}")
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
  -DZUNO_HARDENING=ON -DZUNO_TESTS=OFF -DZUNO_BENCH=OFF
cmake --build "$build"
id=org.zuno.ZunoFwd
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
fail() { echo "check-deb: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "installing a package needs root"
if dpkg-query -W -f='${Status}' zuno-fwd 2>/dev/null | grep -q "install ok installed"; then
  fail "zuno-fwd is installed already; remove it first (apt-get remove zuno-fwd)"
fi

rm -rf "$build/package"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$build/package"
deb=$(ls "$build"/package/zuno-fwd_"$version"_*.deb)
echo "package: $deb"
shows libqt6widgets6 dpkg-deb -f "$deb" Depends || fail "the package's dependencies miss the Qt libraries"
# Debian's checks: no error (the warnings left are explained in the release notes).
status=0
lintian --fail-on error --tag-display-limit 0 "$deb" > "$build/package/lintian.txt" 2>&1 || status=$?
grep -v 'running with root privileges' "$build/package/lintian.txt" || true
[ "$status" -eq 0 ] || fail "lintian finds errors in the package (status $status)"

work=$(mktemp -d /tmp/zuno-deb.XXXXXX)
# Every program and library as the hardening flags made it: position-independent, relocations
# read-only and bound at start, C library calls fortified where the compiler could check them.
dpkg-deb -x "$deb" "$work/tree"
for f in $(find "$work/tree/usr" -type f \( -path '*/bin/*' -o -name '*.so*' \)); do
  name=${f#"$work/tree"}
  shows GNU_RELRO readelf -lW "$f" || fail "$name has no read-only relocations (relro)"
  shows 'BIND_NOW|FLAGS.*NOW' readelf -dW "$f" || fail "$name binds its symbols lazily (no -z now)"
  case $f in */bin/*) shows 'DYN \(' readelf -hW "$f" || fail "$name is not position-independent";; esac
done
shows '__[a-z]*_chk' nm -D "$work/tree/usr/bin/zuno-gen" || fail "zuno-gen calls no fortified function"
rm -rf "$work/tree"
remove() {
  DEBIAN_FRONTEND=noninteractive apt-get remove -y zuno-fwd > "$work/remove.log" 2>&1 || cat "$work/remove.log"
  rm -rf "$work"
}
trap remove EXIT
DEBIAN_FRONTEND=noninteractive apt-get install -y "$deb"

[ "$(command -v zuno-gen)" = /usr/bin/zuno-gen ] || fail "zuno-gen is not on the PATH"
(cd "$work" && zuno-gen --set OverSampling=2 --seed 1 --out frame.cf64) || fail "the installed zuno-gen failed"
[ "$(zuno-fwd --version)" = "zuno-fwd $version" ] || fail "zuno-fwd --version says $(zuno-fwd --version)"
man -w zuno-gen > /dev/null || fail "man does not find zuno-gen's page"
/usr/bin/python3 -c "import zuno_fwd; s, m = zuno_fwd.generate(OverSampling=2, seed=1); assert m.shape == (2, s.size)" ||
  fail "the installed Python module failed"

# Where the desktop looks: the entry among the applications, its icon in the hicolor theme.
entry=/usr/share/applications/$id.desktop
desktop-file-validate "$entry"
icon=$(sed -n 's/^Icon=//p' "$entry")
for f in "/usr/share/icons/hicolor/scalable/apps/$icon.svg" "/usr/share/icons/hicolor/256x256/apps/$icon.png" \
         "/usr/share/metainfo/$id.metainfo.xml"; do
  [ -s "$f" ] || fail "$f is missing"
done
exec_name=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
[ "$(command -v "$exec_name")" = "/usr/bin/$exec_name" ] || fail "the entry starts $exec_name, which is not installed"
echo "installed: programs, manual pages, Python module, desktop entry and icon in place"

trap - EXIT
DEBIAN_FRONTEND=noninteractive apt-get remove -y zuno-fwd
rm -rf "$work"
for f in /usr/bin/zuno-gen /usr/bin/zuno-fwd "$entry" "/usr/share/icons/hicolor/scalable/apps/$icon.svg"; do
  [ ! -e "$f" ] || fail "$f is still there after removal"
done
! /usr/bin/python3 -c "import zuno_fwd" 2> /dev/null || fail "the Python module is still there after removal"
echo "check-deb: installed, checked and removed $deb"
