#!/usr/bin/env bash
# Unpacks the IRC servers that the tests run besides ircd-ircu (ngircd, InspIRCd, ircd-hybrid)
# into a folder of their own. They conflict with ircd-ircu as installed packages, so they are
# never installed: each .deb is fetched with apt-get download and opened with dpkg -x.
# Usage: scripts/unpack-ircds.sh DEST   (idempotent; a package already unpacked is kept)
# A package that cannot be had is reported and left out; the tests that need it then skip.
set -uo pipefail
dest=${1:?usage: $0 DEST}
packages=(ngircd libident inspircd ircd-hybrid)
mkdir -p "$dest/debs" "$dest/root" || exit 1
dest=$(cd "$dest" && pwd)
# Tests running side by side may ask at the same moment: one unpacks, the others wait.
exec 9>"$dest/.lock"
flock 9

fetch() {
    (cd "$dest/debs" && apt-get download -q "$1" >/dev/null 2>"$dest/debs/$1.err")
}

refreshed=0
for p in "${packages[@]}"; do
    [ -e "$dest/$p.unpacked" ] && continue
    if ! fetch "$p"; then
        # A fresh machine may not have the package lists yet.
        if [ "$refreshed" = 0 ] && [ "$(id -u)" -eq 0 ]; then
            refreshed=1
            apt-get update -qq >/dev/null 2>&1
            fetch "$p"
        fi
    fi
    deb=$(ls "$dest/debs/${p}_"*.deb 2>/dev/null | head -n1)
    if [ -z "$deb" ]; then
        echo "unpack-ircds: could not download $p: $(tail -n1 "$dest/debs/$p.err")" >&2
        continue
    fi
    if dpkg -x "$deb" "$dest/root"; then
        touch "$dest/$p.unpacked"
    else
        echo "unpack-ircds: could not unpack $deb" >&2
    fi
done
exit 0
