# Sourced by the k-hub.exe tests, whose first arguments are K-HUB.EXE KHUB-WIN-PROBE.EXE: a
# virtual screen with a window manager, a fresh wine prefix, and helpers that look at and
# drive the program's windows as a person would. Screenshots go to $KHUB_BUILD_DIR/artifacts.
exe=$(realpath "$1")
probe_exe=$(realpath "$2")
artifacts=${KHUB_BUILD_DIR:-.}/artifacts
wine=${KHUB_WINE:-/usr/lib/wine/wine64}
for tool in "$wine" Xvfb openbox xdotool import; do
    command -v "$tool" >/dev/null && continue
    echo "${0##*/}: $tool is missing (apt-get install wine64 xvfb openbox xdotool imagemagick)" >&2
    exit 77
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
# A step that fails outside fail() still says where, in functions too.
set -E
trap 'echo "${0##*/}: line $LINENO failed" >&2' ERR

# A screen of its own, and a window manager for focus and frames.
within() {  # SECONDS COMMAND...: whether the command succeeds within that time (polled)
    for _ in $(seq $(($1 * 10))); do "${@:2}" && return 0; sleep 0.1; done
    "${@:2}"
}
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
within 5 test -s "$work/display"
export DISPLAY=:$(head -1 "$work/display")
openbox >/dev/null 2>&1 &
pids+=($!)

export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
"$wine" wineboot --init >/dev/null 2>&1

# The program in a folder of its own, with its settings beside it (an administrator, as
# wine's user is) and in APPDATA (anyone else): both say the same. Its ROM folder: $work/roms.
mkdir -p "$work/app" "$work/roms"
cp "$exe" "$work/app/k-hub.exe"
write_settings() {  # OPTIONS: the lines of [options] besides rompath
    local appdata
    appdata=$(ls -d "$WINEPREFIX"/drive_c/users/*/AppData/Roaming | grep -v /Public/ | head -1)
    for folder in "$work/app" "$appdata/K-Hub I"; do
        mkdir -p "$folder"
        printf '[options]\nrompath=%s\n%s' "$(windows_path "$work/roms")" "$1" >"$folder/K-Hub.ini"
    done
}
# The Windows name wine gives a Linux path.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

start_program() {  # MAIN-WINDOW-TITLE: started, and its main window open
    (cd "$work/app" && exec "$wine" k-hub.exe) &
    program=$!
    pids+=($program)
    opens "$1" 60
}

probe() { "$wine" "$probe_exe" "$@" 2>/dev/null | tr -d '\r'; }
fail() {
    echo "${0##*/}: $*" >&2
    import -window root "$artifacts/k-hub-win32-failure.png" 2>/dev/null || true
    exit 1
}
xwindow() {  # the X window with this title (or its beginning, when it ends in '*')
    local pattern
    pattern=$(printf '%s' "${1%\*}" | sed 's/[][\\.*^$(){}+?|]/\\&/g')
    [ "${1: -1}" = "*" ] || pattern+='$'
    # A window that goes while xdotool looks makes it fail: that is "none" too.
    xdotool search --onlyvisible --name "^$pattern" 2>/dev/null | head -1 || true
}
shot() {  # TITLE NAME
    sleep 0.5  # the last paint
    import -frame -window "$(xwindow "$1")" "$artifacts/k-hub-win32-$2.png"
}
activate() {  # TITLE: that window in front with the keyboard focus, or fail
    local window
    window=$(xwindow "$1")
    for _ in $(seq 20); do
        xdotool windowactivate --sync "$window" >/dev/null 2>&1 || true
        [ "$(xdotool getactivewindow 2>/dev/null)" = "$window" ] && return 0
        sleep 0.2
    done
    # Some window managers report another window as active: the keys go in all the same.
    echo "${0##*/}: \"$1\" is not reported active; sending the keys anyway" >&2
}
keys_in() {  # TITLE KEYS...: keys pressed in that window
    activate "$1"
    shift
    xdotool key --clearmodifiers "$@"
}
opens() {  # TITLE [SECONDS]
    probe wait "$1" "${2:-20}" >/dev/null || fail "\"$1\" did not open"
}
closes() {  # TITLE
    probe close "$1" >/dev/null
    probe gone "$1" 10 >/dev/null || fail "\"$1\" did not close"
}
control() {  # TITLE ID -> "enabled visible text"
    probe controls "$1" | awk -F'\t' -v id="$2" '$1 == id { print $3, $4, $5 }'
}
ended() { ! kill -0 "$program" 2>/dev/null; }
ends() {  # the program ends with exit code 0 within 30 s (a loaded machine is slow)
    within 30 ended || fail "k-hub.exe did not end"
    wait "$program" || fail "k-hub.exe ended with exit code $?"
}
