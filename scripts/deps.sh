# Sourced by the build scripts: makes sure the Debian packages named in $@ are installed.
# As root it installs the missing ones (apt-get update once, then apt-get install -y);
# otherwise it prints the exact command to run and stops.
ensure_packages() {
    local missing=()
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -eq 0 ]; then
        echo "Installing: ${missing[*]}"
        apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}"
    else
        echo "These Debian packages are missing. Install them with:" >&2
        echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
        exit 1
    fi
}

# What every build needs.
CORE_PACKAGES=(g++ cmake ninja-build pkg-config nlohmann-json3-dev libmatio-dev libfftw3-dev)
# The windows.
GUI_PACKAGES=(qt6-base-dev qt6-tools-dev libqt6uitools6 qt6-svg-dev libqcustomplot-dev)
# The Python module, for Debian's Python.
PYTHON_PACKAGES=(python3-dev pybind11-dev python3-numpy)
BUILD_PACKAGES=("${CORE_PACKAGES[@]}" "${GUI_PACKAGES[@]}" "${PYTHON_PACKAGES[@]}")
# What the tests and benchmarks need on top (pyvisa-py: an independent client of zuno-sim).
TEST_PACKAGES=(libgtest-dev libgmock-dev libbenchmark-dev python3-scipy locales python3-pyvisa python3-pyvisa-py)
# The checks of an installation: desktop entry, desktop metadata, manual pages, the module's tests.
TEST_PACKAGES+=(desktop-file-utils appstream groff-base man-db file python3-pytest)
# The Debian package: dpkg-shlibdeps finds its dependencies.
DEB_PACKAGES=(dpkg-dev file lintian)
# The fuzz target: clang with its libFuzzer runtime (a recommendation of clang, named here so
# that installations without recommendations get it too).
FUZZ_PACKAGES=(clang libclang-rt-dev)

build_jobs() { nproc 2>/dev/null || echo 2; }
