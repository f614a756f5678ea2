#!/usr/bin/env bash
# k-hub.exe under wine on a virtual screen: the main window with its title and columns,
# each window opened from its accelerator or menu command, a greyed item's accelerator
# doing nothing, typing reaching the core, Exit ending the program, and the window's place
# kept for the next start. Screenshots of every window go to the artifacts.
#   k-hub-exe-test.sh K-HUB.EXE KHUB-WIN-PROBE.EXE
set -euo pipefail
source "$(dirname "$0")/wine-screen.sh"

write_settings "playername=Tester1
programpath=C:\\windows\\notepad.exe
connectonstartup=0
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
[ "$(control Options 1000)" = "1 1 Tester1" ] || fail "player name: $(control Options 1000)"
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

# Moved and resized, the window comes back there at the next start.
geometry() { xdotool getwindowgeometry "$(xwindow "$main")" | tail -2 | tr -s ' '; }
xdotool windowmove --sync "$(xwindow "$main")" 200 150
xdotool windowsize --sync "$(xwindow "$main")" 520 360
sleep 0.5
placed=$(geometry)
keys_in "$main" ctrl+x
ends
start_program "$main"
sleep 0.5
[ "$(geometry)" = "$placed" ] || fail "placed at $placed, came back at $(geometry)"
keys_in "$main" ctrl+x
ends
echo "${0##*/}: passed; screenshots in $artifacts"
