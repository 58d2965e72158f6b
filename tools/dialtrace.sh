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

# What the build needs is installed first; the rest while the build runs.
build_packages=(
    cmake ninja-build g++ pkg-config
    qt6-base-dev qt6-charts-dev libqt6opengl6-dev
    libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev libsdl2-dev
)
run_packages=(
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
    gstreamer1.0-plugins-ugly gstreamer1.0-libav fonts-liberation2 libsdl2-2.0-0
)
test_packages=(
    xvfb xauth xdotool x11-utils ffmpeg imagemagick desktop-file-utils python3
    # The collator's outputs read back by R and pandas, and its statistics checked against R's
    # packages; installed while the build runs, as every test package is.
    r-base-core python3-pandas r-cran-epir r-cran-multilevel
)
later_packages=("${run_packages[@]}")
[ "$mode" = test ] && later_packages+=("${test_packages[@]}")

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

# A build in the background stops with the script; an installation is let finish, since dpkg
# stopped halfway would leave the machine's packages to be mended by hand.
background_pid=
later_pid=
finish() {
    [ -z "$background_pid" ] || kill -- -"$background_pid" 2>/dev/null || true
    if [ -n "$later_pid" ] && kill -0 "$later_pid" 2>/dev/null; then
        echo "Waiting for the installation of packages to end; what it says: $later_log" >&2
        wait "$later_pid" || true
    fi
}
trap finish EXIT

missing() {
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
            echo "$package"
        fi
    done
}
mapfile -t missing_now < <(missing "${build_packages[@]}")
mapfile -t missing_later < <(missing "${later_packages[@]}")
sudo=()
if [ ${#missing_now[@]} -gt 0 ] || [ ${#missing_later[@]} -gt 0 ]; then
    # Asked here, if at all, so that the installation in the background never waits for it.
    [ "$(id -u)" -eq 0 ] || { sudo=(sudo); sudo -v; }
    "${sudo[@]}" apt-get update -q
fi
# Recommended packages are not needed here (a few hundred MB of drivers, fonts and
# documentation); what the programs and the tests need is named above. Unpacking without a
# sync after every file is what makes the install take minutes on a fresh machine.
install() {
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
        -o Dpkg::Options::=--force-unsafe-io "$@"
}
if [ ${#missing_now[@]} -gt 0 ]; then
    echo "Installing: ${missing_now[*]}"
    install "${missing_now[@]}"
fi
later_log=
if [ ${#missing_later[@]} -gt 0 ]; then
    echo "Installing while building: ${missing_later[*]}"
    later_log=$(mktemp)
    # At low priority: the build comes first, and has work for every core.
    (renice -n 10 -p "$BASHPID" >/dev/null && install "${missing_later[@]}") >"$later_log" 2>&1 &
    later_pid=$!
fi
# The packages installed in the background are there, or the script stops with apt's words.
wait_for_packages() {
    if [ -n "$later_pid" ]; then
        if ! wait "$later_pid"; then
            cat "$later_log" >&2
            echo "Installing ${missing_later[*]} failed." >&2
            exit 1
        fi
        rm -f "$later_log"
        later_pid=
    fi
}

took packages

jobs=$(nproc 2>/dev/null || echo 2)

# build DIR TARGET [CMAKE OPTION...]: each pass builds only what it runs. A unity build compiles
# each library's and program's sources as one unit, so that Qt's headers are read once for each
# instead of once a file (measured: fewer, larger units take less time in all, even with the second
# core idle now and then). Ninja keeps both cores busy across the folders' libraries, where make
# waits for each in turn.
build() {
    local dir=$1 target=$2
    shift 2
    # A folder configured for make before cannot change its generator: configured afresh.
    if [ -f "$dir/CMakeCache.txt" ] && ! grep -q '^CMAKE_GENERATOR:INTERNAL=Ninja$' "$dir/CMakeCache.txt"; then
        rm -rf "$dir/CMakeCache.txt" "$dir/CMakeFiles"
    fi
    cmake -S "$top" -B "$dir" -G Ninja -DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=0 "$@"
    cmake --build "$dir" -j "$jobs" --target "$target"
}
# Optimised, without debug information, which would take a third of the build's time.
release=(-DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG")

if [ "$mode" = run ]; then
    build "$top/build" dialtrace "${release[@]}"
    took build
    wait_for_packages
    took "packages meanwhile"
    say_took
    # Instructions.txt is read from beside the executable; start with the example text.
    [ -e "$top/build/Instructions.txt" ] || cp "$top/assets/Instructions.txt" "$top/build/"
    [ -e "$top/build/Instructions.position.txt" ] ||
        cp "$top/assets/Instructions.position.txt" "$top/build/"
    echo "Starting Dialtrace. A demo clip to pick in the file dialog: $top/samples/demo.avi"
    exec "$top/build/dialtrace"
fi

# The tests that drive real windows start an X server each (Xvfb); the others run offscreen.
# Most of the former's time is a clip playing in real time, so twice as many tests as cores run
# at once.
run_suite() {
    ctest --test-dir "$1" --output-on-failure -j "$((jobs * 2))"
}

# background NAME LOG COMMAND...: builds at low priority beside a suite, which mostly waits for
# clips that play in real time; end_background says how it went.
background() {
    local name=$1 log=$2
    shift 2
    echo "$name, meanwhile, into $log"
    # A process group of its own, so that it can be stopped whole.
    set -m
    (renice -n 15 -p "$BASHPID" >/dev/null && "$@") >"$log" 2>&1 &
    background_pid=$!
    set +m
    background_name=$name
    background_log=$log
}
end_background() {
    local status=0
    wait "$background_pid" || status=$?
    background_pid=
    if [ "$status" -ne 0 ]; then
        tail -n 60 "$background_log" >&2
        echo "$background_name failed; all of it is in $background_log" >&2
        exit 1
    fi
}

# Line numbers are all that a sanitizer's report needs of the debug information.
sanitize=(-DDIALTRACE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O0 -g1")

build "$top/build" dialtrace-suite "${release[@]}"
took build
wait_for_packages
took "packages meanwhile"

# Once more under AddressSanitizer and UndefinedBehaviorSanitizer, built while the first pass's
# suite runs. Qt and GStreamer keep caches alive until exit on purpose, so leak reports would
# only be noise.
background "The sanitizers' build" "$top/build-sanitize.log" \
    build "$top/build-sanitize" dialtrace-suite "${sanitize[@]}"
run_suite "$top/build"
took suite
end_background
took "sanitizers' build"

# The rest of the first pass (the benchmark), so that a change that breaks it shows here.
background "The benchmark's build" "$top/build-bench.log" \
    cmake --build "$top/build" -j "$jobs" --target all
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    run_suite "$top/build-sanitize"
took "sanitizers' suite"
end_background
took "benchmark's build"
say_took
