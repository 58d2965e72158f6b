#!/usr/bin/env bash
# Installs the build into a folder with a blank in its name and checks that folder: its files,
# no build paths in the executable, the menu entry, and that the installed program starts on a
# display (an Xvfb server of the test's own).
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 BUILD_DIR CMAKE_COMMAND" >&2; exit 2; }
build=$1 cmake=$2
src=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/dialtrace-install.XXXXXX")
prefix="$work/Dial trace" home=$work/home
failures=0
check() {
    local what=$1; shift
    if "$@"; then echo "ok: $what"; else echo "FAIL: $what" >&2; failures=$((failures + 1)); fi
}
same() { cmp -s "$src/$1" "$prefix/$2"; }
trap '[ -n "${app:-}" ] && kill -9 "$app" 2>/dev/null; [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null
      [ $failures -eq 0 ] && rm -rf "$work"' EXIT

"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log"; exit 1; }
check "dialtrace is executable" test -x "$prefix/dialtrace"
check "dialtrace-collate is executable" test -x "$prefix/dialtrace-collate"
check "Instructions.txt" same assets/Instructions.txt Instructions.txt
check "the demo clip" same samples/demo.avi samples/demo.avi
check "README.md" same README.md README.md
check "the scalable icon" same assets/icons/dialtrace.svg icons/hicolor/scalable/apps/dialtrace.svg
check "no bin/ or share/" test ! -e "$prefix/bin" -a ! -e "$prefix/share"
check "no build path in RPATH" test -z "$(readelf -d "$prefix/dialtrace" | grep -E 'R(UN)?PATH' | grep -v '\$ORIGIN' || :)"
check "every library found" bash -c "! ldd '$prefix/dialtrace' | grep -q 'not found'"

entry=$home/.local/share/applications/dialtrace.desktop
mkdir -p "$home"
(cd "$work" && HOME=$home "$prefix/install-desktop-entry.sh") >"$work/entry.log" 2>&1 || cat "$work/entry.log"
check "the menu entry is valid" desktop-file-validate "$entry"
check "it starts the installed program" grep -qxF "Exec=\"$prefix/dialtrace\"" "$entry"
check "it runs in the installed folder" grep -qxF "Path=$prefix" "$entry"
collate=$home/.local/share/applications/dialtrace-collate.desktop
check "the collating entry starts dialtrace-collate" grep -qxF "Exec=\"$prefix/dialtrace-collate\"" "$collate"
HOME=$home "$prefix/install-desktop-entry.sh" --uninstall >>"$work/entry.log" 2>&1
check "--uninstall takes both entries away" test ! -e "$entry" -a ! -e "$collate"

# Started from another folder, the installed program shows its splash on the display.
Xvfb -displayfd 1 -nolisten tcp -noreset -screen 0 1280x1024x24 >"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$work/display")"
(cd "$work" && HOME=$home QT_QPA_PLATFORM=xcb exec "$prefix/dialtrace") >"$work/app.log" 2>&1 &
app=$!
check "the installed program shows its splash" timeout 60 xdotool search --sync --onlyvisible --pid "$app" --name '^Dialtrace$'
echo "$failures failed"
exit $((failures > 0))
