#!/usr/bin/env bash
# Makes the README's pictures of the screens again, from the built programs, on a private X
# server: docs/setup.png, instructions.png, rating.png, results.png, collate.png, chart.png,
# study.png.
#
#   bash tools/screenshots.sh [BUILD]      # BUILD: the build folder, build/ by default
#
# Needs what "tools/dialtrace.sh test" installs (Xvfb, xdotool, x11-utils, ImageMagick,
# python3). Takes about a minute. Stops with a non-zero status, naming the step, where
# anything goes wrong; the temporary folder is then kept, with a picture of the screen.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
out=$top/docs
names=(setup instructions rating results collate chart study)

for program in dialtrace dialtrace-collate; do
    [ -x "$build/$program" ] || { echo "screenshots: no $build/$program; build first" >&2; exit 1; }
done
for tool in Xvfb xdotool xwininfo xdpyinfo import convert identify python3; do
    command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/dialtrace-screenshots.XXXXXX")
xvfb=
finish() {
    local status=$?
    if [ -n "$xvfb" ]; then
        if kill "$xvfb" 2>/dev/null; then
            wait "$xvfb" 2>/dev/null || true
        elif [ "$status" -ne 0 ]; then
            echo "screenshots: the X server on $display had ended before the pictures were taken" >&2
        fi
    fi
    if [ "$status" -eq 0 ]; then
        rm -rf "$work"
    else
        echo "screenshots: FAILED; the programs' output and a picture of the screen are in $work" >&2
    fi
    exit "$status"
}
trap finish EXIT

# A fixed display number, the first of two that is free; a screen larger than every window, with
# no window manager, so that windows have no frames.
display=
for number in 94 95; do
    if [ ! -e "/tmp/.X$number-lock" ] && [ ! -e "/tmp/.X11-unix/X$number" ]; then
        display=:$number
        break
    fi
done
[ -n "$display" ] || { echo "screenshots: displays :94 and :95 are both in use" >&2; exit 1; }
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
xvfb=$!
export DISPLAY=$display
for _ in $(seq 100); do
    xdpyinfo >/dev/null 2>&1 && break
    kill -0 "$xvfb" 2>/dev/null || { echo "screenshots: Xvfb did not start" >&2; exit 1; }
    sleep 0.1
done
xdpyinfo >/dev/null 2>&1 || { echo "screenshots: Xvfb did not answer" >&2; exit 1; }

start=$(date +%s)
mkdir -p "$work/shots" "$out"
python3 "$top/tools/screenshots.py" --build "$build" --source-dir "$top" --work "$work" \
    --out "$work/shots"

# Small files: no metadata, and 256 colours where that keeps the picture as it is on the
# screen; the clip's picture and the chart's anti-aliasing are dithered.
for name in "${names[@]}"; do
    shot=$work/shots/$name.png
    [ -s "$shot" ] || { echo "screenshots: $name.png was not taken" >&2; exit 1; }
    convert "$shot" -strip -dither FloydSteinberg -colors 256 -define png:compression-level=9 \
        "PNG8:$out/$name.png"
    echo "docs/$name.png: $(identify -format '%wx%h' "$out/$name.png"), $(stat -c %s "$out/$name.png") bytes"
done
echo "screenshots: done in $(($(date +%s) - start)) s"
