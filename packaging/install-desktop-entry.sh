#!/bin/sh
# Adds Dialtrace to the desktop's application menu for the current user, or
# removes it again with --uninstall.
#
# This script lives in the installed Dialtrace folder, next to the executables
# "dialtrace" and "dialtrace-collate", their templates "dialtrace.desktop.in"
# and "dialtrace-collate.desktop.in" and the "icons" folder
# (icons/hicolor/<N>x<N>/apps/dialtrace.png). It writes
#   $XDG_DATA_HOME/applications/dialtrace.desktop
#   $XDG_DATA_HOME/applications/dialtrace-collate.desktop
#   $XDG_DATA_HOME/icons/hicolor/<size>/apps/dialtrace.<png|svg>
# where XDG_DATA_HOME defaults to ~/.local/share. Nothing outside those
# locations is touched and no root rights are needed.

set -u

prog=$(basename -- "$0")

usage() {
    cat <<EOF
Usage: $prog [--uninstall]

Without options, adds Dialtrace and Dialtrace Collate to your application
menu: writes dialtrace.desktop and dialtrace-collate.desktop to your
applications folder and copies the Dialtrace icons to your icon folder. Run it again after moving the Dialtrace folder.

  --uninstall   remove the menu entries and icons again
  --help        show this text
EOF
}

die() {
    printf '%s: %s\n' "$prog" "$*" >&2
    exit 1
}

mode=install
for arg in "$@"; do
    case $arg in
        --uninstall) mode=uninstall ;;
        --help|-h) usage; exit 0 ;;
        *) usage >&2; exit 2 ;;
    esac
done

# --- where things are ---------------------------------------------------------

# The folder holding this script, as an absolute path with symbolic links resolved.
# If the script was started through a symbolic link, follow it to the real file.
self=$0
if [ -L "$self" ] && command -v readlink >/dev/null 2>&1; then
    self=$(readlink -f -- "$self") || self=$0
fi
case $self in
    */*) here=${self%/*} ;;
    *) here=. ;;
esac
srcdir=$(CDPATH='' cd -P -- "$here" && pwd -P) || die "cannot find the folder holding this script"

# XDG_DATA_HOME counts only if it is set to an absolute path.
case ${XDG_DATA_HOME:-} in
    /*) datadir=$XDG_DATA_HOME ;;
    *)
        [ -n "${HOME:-}" ] || die "HOME is not set"
        datadir=$HOME/.local/share
        ;;
esac
appsdir=$datadir/applications
iconsdir=$datadir/icons/hicolor
# The programs that get a menu entry, each from its template NAME.desktop.in.
entries="dialtrace dialtrace-collate"

# Refresh the desktop's caches; a missing tool or a failure does no harm.
refresh_caches() {
    if command -v update-desktop-database >/dev/null 2>&1 && [ -d "$appsdir" ]; then
        if update-desktop-database -q "$appsdir" >/dev/null 2>&1; then
            echo "Updated the application database in $appsdir"
        fi
    fi
    if [ -d "$iconsdir" ]; then
        # A changed modification time tells running programs to look at the icons again.
        touch "$iconsdir" 2>/dev/null || :
        # Only refresh an icon cache that is already there: a new cache in a
        # personal icon folder would hide icons that other programs add later
        # without updating it, whereas without a cache every icon is found.
        if [ -f "$iconsdir/icon-theme.cache" ] && command -v gtk-update-icon-cache >/dev/null 2>&1; then
            if gtk-update-icon-cache -q -f -t "$iconsdir" >/dev/null 2>&1; then
                echo "Updated the icon cache in $iconsdir"
            fi
        fi
    fi
}

# --- uninstall ----------------------------------------------------------------

if [ "$mode" = uninstall ]; then
    removed=0
    for entry in $entries; do
        desktopfile=$appsdir/$entry.desktop
        if [ -e "$desktopfile" ] || [ -L "$desktopfile" ]; then
            rm -f -- "$desktopfile" || die "cannot remove $desktopfile"
            echo "Removed $desktopfile"
            removed=1
        fi
    done
    for icon in "$iconsdir"/*/apps/dialtrace.png "$iconsdir"/*/apps/dialtrace.svg; do
        if [ -e "$icon" ] || [ -L "$icon" ]; then
            rm -f -- "$icon" || die "cannot remove $icon"
            echo "Removed $icon"
            removed=1
        fi
    done
    if [ "$removed" = 0 ]; then
        echo "Nothing to remove: Dialtrace is not in the application menu."
        exit 0
    fi
    refresh_caches
    echo "Dialtrace has been removed from the application menu."
    exit 0
fi

# --- install ------------------------------------------------------------------

[ -f "$srcdir/dialtrace.desktop.in" ] || die "the template $srcdir/dialtrace.desktop.in is missing"
[ -x "$srcdir/dialtrace" ] || die "the program $srcdir/dialtrace is missing or not executable"

nl='
'
cr=$(printf '\r')
tab=$(printf '\t')
case $srcdir in
    *"$nl"* | *"$cr"*) die "the folder name contains a line break, which a menu entry cannot hold: $srcdir" ;;
esac

# Escaping for a value of type string in a desktop entry (Path, TryExec, ...):
# a backslash is written as \\ and a tab as \t.
escape_string() {
    printf '%s\n' "$1" | sed -e 's/\\/\\\\/g' -e "s/$tab/\\\\t/g"
}

# Escaping for text inside a double-quoted Exec argument: first \ " ` $ get a
# backslash (quoting rule), then % is doubled (field codes), then the string
# rule above doubles every backslash again.
escape_exec_quoted() {
    printf '%s\n' "$1" | sed -e 's/[\\"`$]/\\&/g' -e 's/%/%%/g' -e 's/\\/\\\\/g' -e "s/$tab/\\\\t/g"
}

case $srcdir in
    *%*) echo "Warning: the folder name contains '%'. The menu entry follows the Desktop Entry rules, but some desktops (those based on GLib/GNOME) cannot start programs from such a folder; consider renaming it." >&2 ;;
esac

marker=@DIALTRACE_DIR@
dir_string=$(escape_string "$srcdir")

# Writes one template line with every marker replaced. In the Exec key the
# word that holds the marker becomes one double-quoted argument, so that a
# folder name with spaces or other unusual characters stays one argument.
substitute_line() {
    line=$1
    case $line in
        Exec=*|Exec\[*)
            out=
            while :; do
                case $line in
                    *"$marker"*) ;;
                    *) break ;;
                esac
                before=${line%%"$marker"*}
                rest=${line#*"$marker"}
                tail=${rest%%[ "$tab"]*}        # rest of the word after the marker
                after=${rest#"$tail"}
                case $before in
                    *\")  # already inside quotes in the template
                        quoted=$(escape_exec_quoted "$srcdir")
                        out=$out$before$quoted
                        line=$rest
                        ;;
                    *)
                        quoted=$(escape_exec_quoted "$srcdir$tail")
                        out=$out$before\"$quoted\"
                        line=$after
                        ;;
                esac
            done
            printf '%s\n' "$out$line"
            ;;
        *)
            out=
            while :; do
                case $line in
                    *"$marker"*) ;;
                    *) break ;;
                esac
                out=$out${line%%"$marker"*}$dir_string
                line=${line#*"$marker"}
            done
            printf '%s\n' "$out$line"
            ;;
    esac
}

mkdir -p -- "$appsdir" || die "cannot create $appsdir"
tmpfile=
trap 'rm -f -- "$tmpfile"' EXIT
trap 'exit 1' HUP INT TERM
for entry in $entries; do
    template=$srcdir/$entry.desktop.in
    desktopfile=$appsdir/$entry.desktop
    # Dialtrace itself was checked above; an older folder may lack the others.
    if [ ! -f "$template" ] || [ ! -x "$srcdir/$entry" ]; then
        echo "Warning: $srcdir/$entry or its template is missing; no menu entry for it." >&2
        continue
    fi
    tmpfile=$appsdir/.$entry.desktop.$$
    {
        while IFS= read -r tline || [ -n "$tline" ]; do
            substitute_line "$tline"
        done <"$template"
    } >"$tmpfile" || die "cannot write $tmpfile"
    chmod 644 "$tmpfile" 2>/dev/null || :
    mv -f -- "$tmpfile" "$desktopfile" || die "cannot write $desktopfile"
    echo "Wrote $desktopfile"
    echo "  (starts $srcdir/$entry)"
done

copied=0
for icon in "$srcdir"/icons/hicolor/*/apps/dialtrace.png "$srcdir"/icons/hicolor/*/apps/dialtrace.svg; do
    [ -f "$icon" ] || continue
    sub=${icon#"$srcdir"/icons/hicolor/}    # e.g. 48x48/apps/dialtrace.png
    dest=$iconsdir/$sub
    mkdir -p -- "${dest%/*}" || die "cannot create ${dest%/*}"
    cp -f -- "$icon" "$dest" || die "cannot copy $icon to $dest"
    chmod 644 "$dest" 2>/dev/null || :
    echo "Copied icon $dest"
    copied=$((copied + 1))
done
[ "$copied" -gt 0 ] || echo "Warning: no icons found in $srcdir/icons/hicolor; the menu entry will have a generic icon." >&2

refresh_caches
echo "Dialtrace is now in the application menu."
