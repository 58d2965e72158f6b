#!/usr/bin/env bash
# Installs what is missing on a Debian 12 machine, builds Dialtrace, then either starts it
# ("run") or runs the whole test suite headless ("test").
set -euo pipefail

usage() { echo "usage: $0 run|test" >&2; exit 2; }
[ $# -eq 1 ] || usage
mode=$1
case "$mode" in run|test) ;; *) usage ;; esac

top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

build_packages=(
    cmake make g++ pkg-config
    qt6-base-dev qt6-multimedia-dev qt6-charts-dev libqt6opengl6-dev
    libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
)
run_packages=(
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
    gstreamer1.0-plugins-ugly gstreamer1.0-libav fonts-liberation2
)
test_packages=(
    xvfb xauth xdotool x11-utils ffmpeg imagemagick desktop-file-utils python3
)

packages=("${build_packages[@]}" "${run_packages[@]}")
[ "$mode" = test ] && packages+=("${test_packages[@]}")

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q "${missing[@]}"
fi

jobs=$(nproc 2>/dev/null || echo 2)

build() {
    local dir=$1
    shift
    cmake -S "$top" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    cmake --build "$dir" -j "$jobs"
}

if [ "$mode" = run ]; then
    build "$top/build"
    # Instructions.txt is read from beside the executable; start with the example text.
    [ -e "$top/build/Instructions.txt" ] || cp "$top/assets/Instructions.txt" "$top/build/"
    echo "Starting Dialtrace. A demo clip to pick in the file dialog: $top/samples/demo.avi"
    exec "$top/build/dialtrace"
fi

# The tests that drive real windows get their own X server; the rest run offscreen.
run_suite() {
    local dir=$1
    xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir "$dir" --output-on-failure -j 1
}

build "$top/build"
run_suite "$top/build"

# Once more under AddressSanitizer and UndefinedBehaviorSanitizer. Qt and GStreamer keep
# caches alive until exit on purpose, so leak reports would only be noise.
build "$top/build-sanitize" -DDIALTRACE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    run_suite "$top/build-sanitize"
