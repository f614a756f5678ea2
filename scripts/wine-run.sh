#!/bin/sh
# Runs a Windows program under wine, quietly, in this run's wine prefix:
#   scripts/wine-run.sh PROGRAM.exe ARGS...
# KHUB_WINEPREFIX names the prefix (./test makes a fresh one per run and removes it);
# without it a prefix per user in the temporary folder is made once and kept. The first
# start of a prefix takes seconds, later ones a fraction of one.
set -eu
prefix=${KHUB_WINEPREFIX:-${TMPDIR:-/tmp}/khub-wine-$(id -u)}
wine=${KHUB_WINE:-/usr/lib/wine/wine64}
if [ ! -x "$wine" ]; then
    echo "wine-run.sh: $wine is missing (apt-get install wine64)" >&2
    exit 127
fi
export WINEPREFIX="$prefix" WINEDEBUG=-all
# No Mono or Gecko installer dialogs: the programs need neither.
export WINEDLLOVERRIDES="mscoree=;mshtml="
if [ ! -f "$prefix/.khub-ready" ]; then
    # Parallel first starts would each try to create it. The wine server that wineboot
    # leaves running must not inherit the lock (-o), or every later first start would wait
    # for that server to end; and the registry files it writes only when it ends are no
    # sign of a finished prefix, so a mark of our own is.
    mkdir -p "$prefix"
    flock -o "$prefix/.khub-init.lock" sh -c \
        '[ -f "$WINEPREFIX/.khub-ready" ] ||
         { "$1" wineboot --init >/dev/null 2>&1 && touch "$WINEPREFIX/.khub-ready"; }' sh "$wine"
fi
exec "$wine" "$@"
