#!/usr/bin/env bash
# k-hub.exe under wine on a virtual screen, beside a real lobby: ircd-ircu on loopback with a
# native k-hub-cli host (the demo lobby, k-hub-demo). Not connected: the main window with its
# title and columns, each window opened from its accelerator or menu command, a greyed item's
# accelerator doing nothing, typing reaching the core, Exit ending the program. Started again,
# connecting: the window's place was kept, the player joins the listed game with a double
# click, presses Download, sees the File Transfer window, and the host's start makes k-hub.exe
# start its emulator (a stand-in that records how). Screenshots go to the artifacts.
#   k-hub-exe-test.sh K-HUB.EXE KHUB-WIN-PROBE.EXE FAKE-EMULATOR.EXE K-HUB-DEMO
set -euo pipefail
emulator_exe=$(realpath "$3")
demo=$(realpath "$4")
source "$(dirname "$0")/wine-screen.sh"
command -v ircd-ircu >/dev/null || [ -x /usr/sbin/ircd-ircu ] || {
    echo "${0##*/}: ircd-ircu is missing (apt-get install ircd-ircu)" >&2
    exit 77
}

# The lobby; its own newcomer (a terminal copy) idles on a pipe that stays open.
mkfifo "$work/demo-input"
exec 4<>"$work/demo-input"
"$demo" --front-end=cli <&4 >/dev/null 2>"$work/demo.log" &
pids+=($!)
within 60 grep -q "hosts \"K-Hub Demo Game\"" "$work/demo.log" ||
    fail "the demo lobby did not start: $(cat "$work/demo.log")"
port=$(sed -n 's/.*lobby server on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/demo.log")

mkdir -p "$work/emulator"
cp "$emulator_exe" "$work/emulator/VOLTAW.EXE"
write_settings "playername=WinPlayer
server=127.0.0.1
port=$port
retries=3
connectonstartup=0
programpath=$(windows_path "$work/emulator/VOLTAW.EXE")
"
main="K-Hub I - not connected"
start_program "$main"
columns=$(probe rows "$main" | head -1 | tr '\t' '|')
[ "$columns" = "Game Name|Host|Players" ] || fail "columns: $columns"
shot "$main" main-window

# Create is greyed while not connected: its accelerator must do nothing.
keys_in "$main" ctrl+h
! probe wait "Create Game" 2 >/dev/null || fail "Ctrl+H opened Create Game with the item greyed"

keys_in "$main" ctrl+o
opens Options
[ "$(control Options 1000)" = "1 1 WinPlayer" ] || fail "player name: $(control Options 1000)"
[ "$(control Options 1007 | cut -c1)" = 0 ] || fail "the join sound's file is enabled unticked"
shot Options options
xdotool key Escape
probe gone Options 10 >/dev/null || fail "Escape did not close Options"

keys_in "$main" ctrl+a
opens "About K-Hub I"
[ "$(control "About K-Hub I" 490)" = "1 1 K-Hub I v1.1.0.0" ] ||
    fail "about: $(control "About K-Hub I" 490)"
shot "About K-Hub I" about
xdotool key Return
probe gone "About K-Hub I" 10 >/dev/null || fail "Enter did not close About"

keys_in "$main" ctrl+shift+d
opens "Debug output"
control "Debug output" 402 | grep -q "Settings ini set to" || fail "the debug log shows no backlog"
shot "Debug output" debug
closes "Debug output"

# The Game menu's item, as a click on it sends it.
probe command "$main" 202 >/dev/null
opens "Create Game"
[ "$(control "Create Game" 1 | cut -c1)" = 0 ] || fail "OK enabled without a name"
activate "Create Game"
xdotool type --delay 20 "Super Mario World"
sleep 0.5
[ "$(control "Create Game" 1 | cut -c1)" = 1 ] || fail "typing a name did not enable OK"
shot "Create Game" create-game
closes "Create Game"

# The Host Game window, as Create's OK opens it; File Transfer, as a transfer does.
for window in "205 Host Game" "204 File Transfer"; do
    probe command "$main" "${window%% *}" >/dev/null
    opens "${window#* }"
    shot "${window#* }" "$(echo "${window#* }" | tr 'A-Z ' 'a-z-')"
    closes "${window#* }"
done

# Moved and resized, the window comes back there at the next start, which connects.
geometry() { xdotool getwindowgeometry "$(xwindow "$main")" | tail -2 | tr -s ' '; }
xdotool windowmove --sync "$(xwindow "$main")" 200 150
xdotool windowsize --sync "$(xwindow "$main")" 520 360
sleep 0.5
placed=$(geometry)
keys_in "$main" ctrl+x
ends
find "$work" -name K-Hub.ini -exec sed -i 's/^connectonstartup=0/connectonstartup=1/' {} +
main="K-Hub I - *"
start_program "$main"
sleep 0.5
[ "$(geometry)" = "$placed" ] || fail "placed at $placed, came back at $(geometry)"
listed() { probe rows "$main" | grep -q "^K-Hub Demo Game	DemoHost	1/2$"; }
within 30 listed || fail "the game is not listed: $(probe rows "$main")"
shot "$main" game-list

# A double click on the row joins.
activate "$main"
read -r x y < <(probe rowpoint "$main" 0) || fail "the row has no place on the screen"
xdotool mousemove "$x" "$y" click --repeat 2 --delay 120 1
join="Join Game*"
opens "$join" 20
# Accepted (the chat line takes text) and the ROM is missing here (Download is offered).
ready() { [ "$(control "$join" 303 | cut -c1)$(control "$join" 306 | cut -c1)" = 11 ]; }
within 30 ready || fail "not accepted, or no Download: $(probe controls "$join")"
shot "$join" join-game

# The window of a fast transfer may show only briefly: watched from before the click.
"$wine" "$probe_exe" wait "File Transfer" 60 >"$work/transfer-watch" 2>/dev/null &
watcher=$!
within 10 grep -q watching "$work/transfer-watch" || true
probe command "$join" 306 >/dev/null
wait "$watcher" || fail "the File Transfer window did not show"
# The download ends in the host's start: the emulator runs (what it gets is the Windows
# terminal copy's test, windows_play_test.cpp).
within 30 test -f "$work/emulator/argv" ||
    fail "the emulator was not started: $(probe controls "$join")"

# Closed by its close box: the exit keys were tried above, and a key lost by the X server
# under load must not fail a download test.
probe close "$main" >/dev/null
ends
echo "${0##*/}: passed; screenshots in $artifacts"
