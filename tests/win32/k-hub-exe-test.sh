#!/usr/bin/env bash
# k-hub.exe under wine on a virtual screen: the main window with its title and columns,
# each window opened from its accelerator or menu command, a greyed item's accelerator
# doing nothing, typing reaching the core, and Exit ending the program. Screenshots of
# every window go to $KHUB_BUILD_DIR/artifacts (look at them).
#   k-hub-exe-test.sh K-HUB.EXE KHUB-WIN-PROBE.EXE
set -euo pipefail
exe=$(realpath "$1")
probe_exe=$(realpath "$2")
artifacts=${KHUB_BUILD_DIR:-.}/artifacts
wine=${KHUB_WINE:-/usr/lib/wine/wine64}
for tool in "$wine" Xvfb openbox xdotool import; do
    if ! command -v "$tool" >/dev/null; then
        echo "k-hub-exe-test: $tool is missing (apt-get install wine64 xvfb openbox xdotool imagemagick)" >&2
        exit 77
    fi
done
mkdir -p "$artifacts"
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    WINEPREFIX=$work/prefix "${wine%/*}/wineserver" -k 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# A screen of its own, and a window manager for focus and frames.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -1 "$work/display")
openbox >/dev/null 2>&1 &
pids+=($!)

export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
"$wine" wineboot --init >/dev/null 2>&1

# The program and its settings: all three paths set, no connection at start.
mkdir -p "$work/app" "$work/roms"
cp "$exe" "$work/app/k-hub.exe"
settings="[options]
playername=Tester1
programpath=C:\\windows\\notepad.exe
rompath=Z:${work//\//\\}\\roms
connectonstartup=0
"
appdata=$(ls -d "$WINEPREFIX"/drive_c/users/*/AppData/Roaming | grep -v /Public/ | head -1)
# Beside the program (an administrator) or in APPDATA (anyone else): both say the same.
for folder in "$work/app" "$appdata/K-Hub I"; do
    mkdir -p "$folder"
    printf '%s' "$settings" >"$folder/K-Hub.ini"
done

probe() { "$wine" "$probe_exe" "$@" 2>/dev/null | tr -d '\r'; }
fail() {
    echo "k-hub-exe-test: $*" >&2
    import -window root "$artifacts/k-hub-win32-failure.png" 2>/dev/null || true
    exit 1
}
xwindow() { xdotool search --onlyvisible --name "^$1\$" | head -1; }
shot() {  # TITLE NAME
    sleep 0.5  # the last paint
    import -frame -window "$(xwindow "$1")" "$artifacts/k-hub-win32-$2.png"
}
keys() {  # keys pressed in the main window
    xdotool windowactivate --sync "$(xwindow "$main")" >/dev/null 2>&1 || true
    xdotool key --clearmodifiers "$@"
}
opens() {  # TITLE
    probe wait "$1" 20 >/dev/null || fail "\"$1\" did not open"
}
closes() {  # TITLE
    probe close "$1" >/dev/null
    probe gone "$1" 10 >/dev/null || fail "\"$1\" did not close"
}
control() {  # TITLE ID -> "enabled visible text"
    probe controls "$1" | awk -F'\t' -v id="$2" '$1 == id { print $3, $4, $5 }'
}

(cd "$work/app" && exec "$wine" k-hub.exe) &
program=$!
pids+=($program)

main="K-Hub I - not connected"
opens "$main"
[ "$(probe columns "$main" | paste -sd '|')" = "Game Name|Host|Players" ] ||
    fail "columns: $(probe columns "$main" | paste -sd '|')"
shot "$main" main-window

# Create is greyed while not connected: its accelerator must do nothing.
keys ctrl+h
! probe wait "Create Game" 2 >/dev/null || fail "Ctrl+H opened Create Game with the item greyed"

keys ctrl+o
opens Options
[ "$(control Options 1000)" = "1 1 Tester1" ] || fail "player name: $(control Options 1000)"
[ "$(control Options 1007 | cut -c1)" = 0 ] || fail "the join sound's file is enabled unticked"
shot Options options
xdotool key Escape
probe gone Options 10 >/dev/null || fail "Escape did not close Options"

keys ctrl+a
opens "About K-Hub I"
[ "$(control "About K-Hub I" 490)" = "1 1 K-Hub I v1.1.0.0" ] || fail "about: $(control "About K-Hub I" 490)"
shot "About K-Hub I" about
xdotool key Return
probe gone "About K-Hub I" 10 >/dev/null || fail "Enter did not close About"

keys ctrl+shift+d
opens "Debug output"
control "Debug output" 402 | grep -q "Settings ini set to" || fail "the debug log shows no backlog"
shot "Debug output" debug
closes "Debug output"

# The Game menu's items, as a click on them sends them.
probe command "$main" 202 >/dev/null
opens "Create Game"
[ "$(control "Create Game" 1 | cut -c1)" = 0 ] || fail "OK enabled without a name"
xdotool windowactivate --sync "$(xwindow "Create Game")" >/dev/null 2>&1 || true
xdotool type --delay 20 "Super Mario World"
sleep 0.5
[ "$(control "Create Game" 1 | cut -c1)" = 1 ] || fail "typing a name did not enable OK"
shot "Create Game" create-game
closes "Create Game"

probe command "$main" 205 >/dev/null  # the Host Game window, as Create's OK opens it
opens "Host Game"
shot "Host Game" host-game
closes "Host Game"

probe command "$main" 204 >/dev/null  # the File Transfer window, as a transfer opens it
opens "File Transfer"
shot "File Transfer" file-transfer
closes "File Transfer"

keys ctrl+x
for _ in $(seq 100); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
! kill -0 "$program" 2>/dev/null || fail "Ctrl+X did not end the program"
wait "$program" || fail "k-hub.exe ended with exit code $?"
echo "k-hub-exe-test: passed; screenshots in $artifacts"
