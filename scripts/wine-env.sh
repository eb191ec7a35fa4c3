# Sourced: the Wine settings every project script shares.
: "${WINEPREFIX:=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/wineprefix}"
export WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL=C.UTF-8

# wine_loader_for EXE: the 64-bit loader for a PE32+ file, the 32-bit one otherwise.
wine_loader_for() {
    # The PE header offset sits at 0x3c; the optional header magic 0x20b marks PE32+.
    local off magic
    off=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    magic=$(od -An -tx2 -j$((off + 24)) -N2 "$1" | tr -d ' ')
    if [ "$magic" = "020b" ]; then
        echo /usr/lib/wine/wine64
    else
        echo /usr/lib/wine/wine
    fi
}

# wine_runs_32bit: whether this machine can run 32-bit code at all (some virtual machines cannot).
wine_runs_32bit() {
    [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}
