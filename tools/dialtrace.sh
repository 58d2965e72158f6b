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
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-charts-dev libqt6opengl6-dev
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

# How long each step took, said at the end: where a slow machine spends its time.
steps=()
step_start=$SECONDS
took() {
    steps+=("$1 $((SECONDS - step_start)) s")
    step_start=$SECONDS
}
say_took() {
    local IFS=,
    echo "Took ${SECONDS} s: ${steps[*]}" | sed 's/,/, /g'
}

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
    # Recommended packages are not needed here (a few hundred MB of drivers, fonts and
    # documentation); what the programs and the tests need is named above. Unpacking without a
    # sync after every file is what makes the install take minutes on a fresh machine.
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends \
        -o Dpkg::Options::=--force-unsafe-io "${missing[@]}"
fi

took packages

jobs=$(nproc 2>/dev/null || echo 2)

# build DIR TARGET [CMAKE OPTION...]: each pass builds only what it runs. A unity build compiles
# each folder's sources together, so that Qt's headers are read a few times instead of once a file.
# Ninja keeps both cores busy across the folders' libraries, where make waits for each in turn.
build() {
    local dir=$1 target=$2
    shift 2
    # A folder configured for make before cannot change its generator: configured afresh.
    if [ -f "$dir/CMakeCache.txt" ] && ! grep -q '^CMAKE_GENERATOR:INTERNAL=Ninja$' "$dir/CMakeCache.txt"; then
        rm -rf "$dir/CMakeCache.txt" "$dir/CMakeFiles"
    fi
    cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_UNITY_BUILD=ON "$@"
    cmake --build "$dir" -j "$jobs" --target "$target"
}
# Optimised, without debug information, which would take a third of the build's time.
release=(-DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG")

if [ "$mode" = run ]; then
    build "$top/build" dialtrace "${release[@]}"
    took build
    say_took
    # Instructions.txt is read from beside the executable; start with the example text.
    [ -e "$top/build/Instructions.txt" ] || cp "$top/assets/Instructions.txt" "$top/build/"
    echo "Starting Dialtrace. A demo clip to pick in the file dialog: $top/samples/demo.avi"
    exec "$top/build/dialtrace"
fi

# The tests that drive real windows start an X server each (Xvfb); the others run offscreen.
# Most of the former's time is a clip playing in real time, so twice as many tests as cores run
# at once.
run_suite() {
    ctest --test-dir "$1" --output-on-failure -j "$((jobs * 2))"
}

# Everything, the benchmark included, so that a change that breaks it shows here.
build "$top/build" all "${release[@]}"
took build
run_suite "$top/build"
took suite

# Once more under AddressSanitizer and UndefinedBehaviorSanitizer. Qt and GStreamer keep
# caches alive until exit on purpose, so leak reports would only be noise.
# Line numbers are all that a sanitizer's report needs of the debug information.
build "$top/build-sanitize" dialtrace-suite -DDIALTRACE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug \
    "-DCMAKE_CXX_FLAGS_DEBUG=-O0 -g1"
took "sanitizers' build"
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    run_suite "$top/build-sanitize"
took "sanitizers' suite"
say_took
