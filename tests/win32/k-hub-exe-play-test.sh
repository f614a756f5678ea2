#!/usr/bin/env bash
# k-hub.exe under wine joins a game on a real lobby: ircd-ircu on loopback with a native
# k-hub-cli host (the demo lobby, k-hub-demo). The player joins the listed game with a
# double click, presses Download, sees the File Transfer window, and the host's start makes
# k-hub.exe start its emulator (a stand-in that records how).
#   k-hub-exe-play-test.sh K-HUB.EXE KHUB-WIN-PROBE.EXE FAKE-EMULATOR.EXE K-HUB-DEMO
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
connectonstartup=1
programpath=$(windows_path "$work/emulator/VOLTAW.EXE")
"
main="K-Hub I - *"
start_program "$main"
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

# Closed by its close box: the exit keys are the other test's, and a key lost by the
# X server under load must not fail a download test.
probe close "$main" >/dev/null
ends
echo "${0##*/}: passed; screenshots in $artifacts"
