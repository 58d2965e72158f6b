#!/usr/bin/env bash
# Installs the build into a fresh folder and checks that the folder works on its own: its layout,
# the menu entry its script writes, and the installed program's first screens on a private X
# server, including the instructions text it must find beside itself.
#
# usage: install_test.sh BUILD_DIR CMAKE_COMMAND
set -euo pipefail

[ $# -eq 2 ] || { echo "usage: $0 BUILD_DIR CMAKE_COMMAND" >&2; exit 2; }
build=$1
cmake=$2
src=$(cd "$(dirname "$0")/../.." && pwd)

passed=0
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
check() {
    # check DESCRIPTION COMMAND...: one pass or one failure, by COMMAND's status.
    local what=$1
    shift
    if "$@"; then
        echo "ok: $what"
        passed=$((passed + 1))
    else
        fail "$what"
    fi
}
not() { ! "$@"; }
die() {
    echo "FAIL: $*" >&2
    exit 1
}

for tool in Xvfb:xvfb xdotool:xdotool xwininfo:x11-utils xprop:x11-utils import:imagemagick \
            identify:imagemagick desktop-file-validate:desktop-file-utils readelf:binutils; do
    command -v "${tool%%:*}" >/dev/null 2>&1 ||
        die "${tool%%:*} is missing; install the Debian package ${tool#*:}"
done
# Debian's ImageMagick 6 also answers as convert-im6, which no stand-in shadows.
convert=$(command -v convert-im6.q16 || command -v convert-im6 || command -v convert) ||
    die "convert is missing; install the Debian package imagemagick"

# A space in the folder name makes sure that nothing (the desktop entry least of all) splits it.
work=$(mktemp -d "${TMPDIR:-/tmp}/dialtrace-install.XXXXXX")
prefix="$work/Dial trace"
home=$work/home
mkdir -p "$home" "$work/cwd" "$work/runtime"
chmod 700 "$work/runtime"

xvfb_pid=
app_pid=
cleanup() {
    local status=$?
    if [ -n "$app_pid" ] && kill -0 "$app_pid" 2>/dev/null; then
        kill -KILL "$app_pid" 2>/dev/null || :
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || :
        wait "$xvfb_pid" 2>/dev/null || :
    fi
    if [ "$status" -eq 0 ]; then
        rm -rf -- "$work"
    else
        echo "Kept $work for inspection (logs, screenshots)." >&2
    fi
}
trap cleanup EXIT

# --- installation ------------------------------------------------------------------------------

"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log" >&2; die "cmake --install failed"; }

same_file() { [ -f "$2" ] && cmp -s "$1" "$2"; }

check "dialtrace is installed and executable" test -f "$prefix/dialtrace" -a -x "$prefix/dialtrace"
check "dialtrace-collate is installed and executable" \
    test -f "$prefix/dialtrace-collate" -a -x "$prefix/dialtrace-collate"
check "dialtrace-collate.desktop.in is the one from packaging/" \
    same_file "$src/packaging/dialtrace-collate.desktop.in" "$prefix/dialtrace-collate.desktop.in"
check "install-desktop-entry.sh is installed and executable" \
    test -f "$prefix/install-desktop-entry.sh" -a -x "$prefix/install-desktop-entry.sh"
check "Instructions.txt is the one from assets/" same_file "$src/assets/Instructions.txt" "$prefix/Instructions.txt"
check "dialtrace.desktop.in is the one from packaging/" \
    same_file "$src/packaging/dialtrace.desktop.in" "$prefix/dialtrace.desktop.in"
check "install-desktop-entry.sh is the one from packaging/" \
    same_file "$src/packaging/install-desktop-entry.sh" "$prefix/install-desktop-entry.sh"
check "samples/demo.avi is installed" same_file "$src/samples/demo.avi" "$prefix/samples/demo.avi"
if [ -f "$src/README.md" ]; then
    check "README.md is installed" same_file "$src/README.md" "$prefix/README.md"
fi
check "the scalable icon is installed" \
    same_file "$src/assets/icons/dialtrace.svg" "$prefix/icons/hicolor/scalable/apps/dialtrace.svg"
icon_sizes=0
for icon in "$src"/assets/icons/hicolor/*/apps/dialtrace.png; do
    [ -f "$icon" ] || continue
    sub=${icon#"$src"/assets/icons/hicolor/}
    check "icon $sub is installed" same_file "$icon" "$prefix/icons/hicolor/$sub"
    icon_sizes=$((icon_sizes + 1))
done
check "the source tree has PNG icons to install" test "$icon_sizes" -gt 0
# The program looks beside itself, so nothing may land in a bin/ or share/ below the prefix.
check "no bin/ or share/ folder in the prefix" test ! -e "$prefix/bin" -a ! -e "$prefix/share"

rpaths=$(readelf -d "$prefix/dialtrace" | sed -n 's/.*(\(RPATH\|RUNPATH\)).*\[\(.*\)\]/\2/p')
echo "installed RPATH/RUNPATH: '${rpaths}'"
only_origin() {
    local entry
    local IFS=:
    for entry in $rpaths; do
        # shellcheck disable=SC2016 # $ORIGIN is literal here
        [ "$entry" = '$ORIGIN' ] || return 1
    done
}
check "the installed executable carries no build or outside RPATH" only_origin
libraries_found() { ldd "$prefix/dialtrace" >"$work/ldd.log" 2>&1 && ! grep -q "not found" "$work/ldd.log"; }
check "every library of the installed executable is found" libraries_found

# --- desktop entry -----------------------------------------------------------------------------

(
    cd "$work/cwd"
    env -u XDG_DATA_HOME HOME="$home" "$prefix/install-desktop-entry.sh"
) >"$work/desktop-entry.log" 2>&1 || { cat "$work/desktop-entry.log" >&2; fail "install-desktop-entry.sh failed"; }
entry=$home/.local/share/applications/dialtrace.desktop
check "install-desktop-entry.sh wrote $entry" test -f "$entry"
if [ -f "$entry" ]; then
    valid_entry() {
        desktop-file-validate "$entry" >"$work/validate.log" 2>&1 && return 0
        cat "$work/validate.log" >&2
        return 1
    }
    check "desktop-file-validate accepts the entry" valid_entry
    check "Exec starts the installed executable" grep -qxF "Exec=\"$prefix/dialtrace\"" "$entry"
    check "TryExec names the installed executable" grep -qxF "TryExec=$prefix/dialtrace" "$entry"
    check "Path is the installed folder" grep -qxF "Path=$prefix" "$entry"
fi
collate_entry=$home/.local/share/applications/dialtrace-collate.desktop
check "install-desktop-entry.sh wrote $collate_entry" test -f "$collate_entry"
check "the collating entry starts the installed dialtrace-collate" \
    grep -qxF "Exec=\"$prefix/dialtrace-collate\"" "$collate_entry"
for icon in "$prefix"/icons/hicolor/*/apps/dialtrace.png "$prefix"/icons/hicolor/*/apps/dialtrace.svg; do
    [ -f "$icon" ] || continue
    sub=${icon#"$prefix"/icons/hicolor/}
    check "icon $sub was copied for the menu" same_file "$icon" "$home/.local/share/icons/hicolor/$sub"
done
if [ -f "$entry" ]; then
    env -u XDG_DATA_HOME HOME="$home" "$prefix/install-desktop-entry.sh" --uninstall \
        >>"$work/desktop-entry.log" 2>&1 || fail "install-desktop-entry.sh --uninstall failed"
    check "--uninstall removes the menu entry" test ! -e "$entry"
    check "--uninstall removes the collating entry" test ! -e "$collate_entry"
    check "--uninstall removes the icons" \
        test -z "$(find "$home/.local/share/icons" -name 'dialtrace.*' 2>/dev/null)"
fi

# --- the installed program on a private X server -----------------------------------------------

# Xvfb picks a free display itself and writes its number once it accepts clients.
: >"$work/display"
Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp 9>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
display=
for _ in $(seq 200); do
    display=$(sed -n '1s/^\([0-9][0-9]*\)$/\1/p' "$work/display")
    [ -n "$display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || { cat "$work/xvfb.log" >&2; die "Xvfb did not start"; }
    sleep 0.1
done
[ -n "$display" ] || die "Xvfb gave no display number"
export DISPLAY=":$display"
unset WAYLAND_DISPLAY XAUTHORITY
export QT_QPA_PLATFORM=xcb
# The file dialog keeps its state in the user's settings: keep them out of the real home.
export HOME=$home XDG_CONFIG_HOME=$home/.config XDG_RUNTIME_DIR=$work/runtime
echo "Xvfb on $DISPLAY"

# An X client that hangs (import holds a server grab while it reads) must not stall the test.
x() { timeout 20 "$@"; }

now_ms() { date +%s%3N; }

# wait_window VAR TIMEOUT_S [xdotool search conditions...]: the first visible window of the
# running program that meets all the conditions.
wait_window() {
    local var=$1 limit=$2 found deadline
    shift 2
    deadline=$(($(now_ms) + limit * 1000))
    while [ "$(now_ms)" -lt "$deadline" ]; do
        kill -0 "$app_pid" 2>/dev/null || return 1
        found=$(x xdotool search --all --onlyvisible --pid "$app_pid" "$@" 2>/dev/null | head -n 1) || found=
        if [ -n "$found" ]; then
            printf -v "$var" '%s' "$found"
            return 0
        fi
        sleep 0.05
    done
    return 1
}

size_of() { x xwininfo -id "$1" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }'; }
border_of() { x xwininfo -id "$1" | awk '/Border width:/ { print $3 }'; }
viewable() { x xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }

# wait_exit SECONDS: true once the program has ended, with its status in app_status.
wait_exit() {
    local deadline=$(($(now_ms) + $1 * 1000))
    while kill -0 "$app_pid" 2>/dev/null; do
        [ "$(now_ms)" -lt "$deadline" ] || return 1
        sleep 0.05
    done
    app_status=0
    wait "$app_pid" || app_status=$?
    return 0
}

stop_app() {
    [ -n "$app_pid" ] || return 0
    kill -TERM "$app_pid" 2>/dev/null || :
    if ! wait_exit 20; then
        kill -KILL "$app_pid" 2>/dev/null || :
        fail "the program did not end on SIGTERM"
        wait "$app_pid" 2>/dev/null || :
    fi
    app_pid=
}

launch() {
    # Started from an unrelated folder: the files beside the executable must be found anyway.
    (cd "$work/cwd" && exec "$prefix/dialtrace") >"$work/app-$1.log" 2>&1 &
    app_pid=$!
}

# Fraction of dark pixels in a region of a screenshot: 0 for an empty stretch of window.
ink() { "$convert" "$1" -crop "$2" +repage -colorspace Gray -threshold 50% -negate -format '%[fx:mean]' info:; }
has_ink() { awk -v v="$1" 'BEGIN { exit !(v > 0.002) }'; }

# Setup form: subject name, "Ok", then the clip typed into Qt's file dialog.
open_clip() {
    local variables=$1 dialog
    # No window manager: focus is given by hand, and keys go to the focused window.
    x xdotool windowfocus --sync "$variables" || return 1
    x xdotool type --delay 15 "Install Check" || return 1
    # "Ok" is 65x25 at (192,200) in the setup form.
    x xdotool mousemove --window "$variables" --sync 224 212 click 1 || return 1
    wait_window dialog 20 --name '^Please Select the Movie or Sound File$' || return 1
    x xdotool windowfocus --sync "$dialog" || return 1
    x xdotool type --delay 15 "$prefix/samples/demo.avi" || return 1
    x xdotool key Return || return 1
    # The first Return can go to the completer's list instead of the dialog.
    local deadline=$(($(now_ms) + 5000))
    while viewable "$dialog"; do
        if [ "$(now_ms)" -ge "$deadline" ]; then
            x xdotool windowfocus --sync "$dialog" || return 1
            x xdotool key Return || return 1
            deadline=$(($(now_ms) + 5000))
        fi
        sleep 0.05
    done
}

# shot_instructions PNG: screenshot of the instructions screen once its greeting is drawn.
shot_instructions() {
    local png=$1 win deadline
    wait_window win 30 --name '^Instructions$' || return 1
    check "the instructions screen is 473x507" test "$(size_of "$win")" = 473x507
    deadline=$(($(now_ms) + 20000))
    while [ "$(now_ms)" -lt "$deadline" ]; do
        # "Good luck Install Check" sits in 16,432 433x25: drawn means the window is painted.
        if x import -window "$win" "$png" 2>/dev/null && has_ink "$(ink "$png" 433x25+16+432)"; then
            return 0
        fi
        sleep 0.1
    done
    return 1
}

splash=
variables=
app_status=

# Run 1: splash, then the setup form about 3 s later; then through to the instructions screen.
launch first
if wait_window splash 60; then
    splash_ms=$(now_ms)
    check "the first window is the 491x282 splash" test "$(size_of "$splash")" = 491x282
    check "the splash has no border" test "$(border_of "$splash")" = 0
    splash_type() { x xprop -id "$splash" _NET_WM_WINDOW_TYPE | grep -q _NET_WM_WINDOW_TYPE_SPLASH; }
    check "the splash is marked as a splash screen for window managers" splash_type
    if wait_window variables 30 --name '^Variables$'; then
        elapsed=$(($(now_ms) - splash_ms))
        echo "setup form appeared ${elapsed} ms after the splash was seen"
        check "the setup form follows the splash after about 3 s (${elapsed} ms)" \
            test "$elapsed" -ge 2500 -a "$elapsed" -le 10000
        check "the setup form is 337x236" test "$(size_of "$variables")" = 337x236
        check "the splash is gone once the setup form shows" not viewable "$splash"
        if open_clip "$variables" && shot_instructions "$work/instructions-with-file.png"; then
            with_text=$(ink "$work/instructions-with-file.png" 441x337+16+16)
            echo "dark share of the instructions text area: $with_text"
            check "the instructions screen shows the text of the installed Instructions.txt" has_ink "$with_text"
        else
            fail "the instructions screen did not appear after choosing the clip"
        fi
    else
        fail "no window titled Variables appeared"
    fi
else
    fail "the installed program showed no window"
fi
stop_app

# Run 2: without Instructions.txt beside it the same screen must stay empty, which shows that
# run 1's text came from the installed file.
rm -f -- "$prefix/Instructions.txt"
launch second
if wait_window variables 60 --name '^Variables$' && open_clip "$variables" &&
    shot_instructions "$work/instructions-without-file.png"; then
    without_text=$(ink "$work/instructions-without-file.png" 441x337+16+16)
    echo "dark share of the instructions text area without the file: $without_text"
    check "without Instructions.txt the text area stays empty" not has_ink "$without_text"
else
    fail "the instructions screen did not appear without Instructions.txt"
fi
stop_app

# Run 3: "Cancel" on the setup form ends the program by itself.
launch third
if wait_window variables 60 --name '^Variables$'; then
    # "Cancel" is 65x25 at (264,200) in the setup form.
    x xdotool mousemove --window "$variables" --sync 296 212 click 1
    if wait_exit 20; then
        check "Cancel ends the program with status 0 (got $app_status)" test "$app_status" = 0
        app_pid=
    else
        fail "the program did not end after Cancel"
        stop_app
    fi
else
    fail "no window titled Variables appeared in the third run"
    stop_app
fi

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
