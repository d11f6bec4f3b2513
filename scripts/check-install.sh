#!/usr/bin/env bash
# Installs a build (default build/test) into a temporary prefix and checks what was installed:
# the desktop entry (desktop-file-validate), the desktop metadata (appstreamcli), the icons, a
# manual page per program without warnings (groff -ww), the programs run from the prefix with
# nothing pointing into the build tree, and the Python module's tests against the installed
# module and programs (pytest).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/shows.sh
build=$(realpath "${1:-build/test}")
source=$(pwd)
id=org.zuno.ZunoFwd
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")

work=$(mktemp -d /tmp/zuno-install.XXXXXX)
sim_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
prefix=$work/prefix
fail() { echo "check-install: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" > "$work/install.log"
echo "installed into $prefix"

desktop-file-validate "$prefix/share/applications/$id.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml"
icon=$(sed -n 's/^Icon=//p' "$prefix/share/applications/$id.desktop")
[ "$icon" = "$id" ] || fail "the desktop entry names the icon $icon"
grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" || fail "no scalable icon"
shows 'PNG image data, 256 x 256' file -b "$prefix/share/icons/hicolor/256x256/apps/$icon.png" ||
  fail "no 256 px icon"

# Every program: its version, its manual page, and no path into the source or build tree.
programs=()
for exe in "$prefix"/bin/*; do
  name=$(basename "$exe")
  programs+=("$name")
  said=$("$exe" --version 2>&1) || said=
  [ "$said" = "$name $version" ] || fail "$name --version says: $said"
  page=$prefix/share/man/man1/$name.1.gz
  [ -f "$page" ] || fail "$name has no manual page"
  warnings=$(zcat "$page" | groff -ww -z -man 2>&1; MANWIDTH=80 man -l "$page" 2>&1 > /dev/null)
  [ -z "$warnings" ] || fail "manual page of $name: $warnings"
done
for needed in zuno-fwd zuno-gen zuno-sim; do
  [[ " ${programs[*]} " == *" $needed "* ]] || fail "$needed is not installed"
done
echo "programs: ${programs[*]} ($version), each with its manual page"
library=$(find "$prefix" -name "libzuno_fwd.so.*.*.*")
[ "$(objdump -p "$library" | awk '/SONAME/ {print $2}')" = "libzuno_fwd.so.${version%%.*}" ] ||
  fail "libzuno_fwd has no SONAME of its major version"
while read -r elf; do
  if shows "(RPATH|RUNPATH).*($build|$source)" readelf -d "$elf"; then
    fail "$elf looks for libraries in the build tree"
  fi
done < <(find "$prefix" -type f \( -perm -u+x -o -name '*.so*' \))
shows "libzuno_fwd.so.0 => $prefix/" ldd "$prefix/bin/zuno-fwd" ||
  fail "zuno-fwd does not load the installed library: $(ldd "$prefix/bin/zuno-fwd" | grep zuno)"

# The installed programs at work, from a folder of their own: a frame downloaded from zuno-gen
# to zuno-sim, and the application started on Qt's offscreen platform.
cd "$work"
"$prefix/bin/zuno-sim" --port 0 --portmapper 0 > sim.log 2>&1 &
sim_pid=$!
for _ in $(seq 50); do grep -q 'SCPI on 127.0.0.1 port' sim.log && break; sleep 0.1; done
port=$(sed -n 's/.*SCPI on 127.0.0.1 port \([0-9]*\).*/\1/p' sim.log)
[ -n "$port" ] || fail "zuno-sim did not start: $(cat sim.log)"
timeout 60 "$prefix/bin/zuno-gen" --set OverSampling=2 --seed 1 --download "127.0.0.1:$port" --title INSTALLED
kill "$sim_pid" && wait "$sim_pid" 2>/dev/null || true
sim_pid=
status=0
QT_QPA_PLATFORM=offscreen timeout 8 "$prefix/bin/zuno-fwd" > fwd.log 2>&1 || status=$?
# Still running when stopped: it started and waits for the user.
[ "$status" -eq 124 ] || fail "zuno-fwd ended with status $status: $(cat fwd.log)"
! grep -q '^zuno-fwd:' fwd.log || fail "zuno-fwd: $(cat fwd.log)"
echo "zuno-gen downloaded to zuno-sim and zuno-fwd started, all from $prefix"
cd "$source"

module=$(dirname "$(find "$prefix" -path '*/zuno_fwd/__init__.py')")
pythonpath=$(dirname "$module")
PYTHONPATH=$pythonpath /usr/bin/python3 -c "import zuno_fwd, sys; sys.exit(not zuno_fwd.__file__.startswith('$prefix'))" ||
  fail "the Python module is not the installed one"
PYTHONPATH=$pythonpath ZUNO_BIN=$prefix/bin /usr/bin/python3 -m pytest -q -p no:cacheprovider python/tests
echo "check-install: all checks passed"
