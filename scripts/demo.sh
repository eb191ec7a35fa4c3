#!/usr/bin/env bash
# demo.sh [APP]: shows a plug-in as a person would use it. Builds the Windows programs, lays out a
# host under build/demo-host (plugins\APP.exe, bin\mencoder.exe handing jobs to the Linux encoder,
# tmp\, media\ with something to work on) and runs APP there under Wine. With a display, APP stays
# until its window is closed; without one it runs on a private X server, and the demo saves a
# screenshot of its window to build/demo/APP.png and closes it.
#
# DEMO_PRESET=win32 uses the 32-bit build, where this machine runs 32-bit code. DEMO_DPI=144 shows
# the window at that many dots per inch (96 otherwise). DEMO_SHOTS=FOLDER puts the screenshot there
# instead of build/demo.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
# A prefix of its own: on a person's display the demo leaves window frames to their window
# manager, a setting the tests' prefix should not pick up.
export WINEPREFIX=$root/build/demo-wineprefix
source "$here/wine-env.sh"

host=$root/build/demo-host
shots=$(realpath -m "${DEMO_SHOTS:-$root/build/demo}")

# Each app's window caption, by build target. An app whose host needs more than the plug-in and
# the encoder also gets a prepare_APP function (run before Wine starts) and a session_APP function
# (run inside the Wine session, for the registry); one that the host starts with arguments has
# them in app_arguments.
declare -A captions=(
    [clipcutter]="Movarix Plugin ID:4401 - AVI Splitter"
    [clipjoiner]="AVI Merger"
    [partroster]="Movarix v4 Component List Editor"
)
windows_host="Z:${host//\//\\}"
declare -A app_arguments=(
    [clipjoiner]="$windows_host\\media\\join"
)

prepare_clipcutter() {
    if [ ! -f "$host/media/sample.avi" ]; then
        echo "demo: making the sample movie $host/media/sample.avi"
        "$here/demo-sample" "$host/media/sample.avi"
    fi
}

# Two short movies to join, and the host root where the merger looks for it.
prepare_clipjoiner() {
    mkdir -p "$host/media/join"
    for part in 1:4 2:6; do
        local file="$host/media/join/clip${part%%:*}.avi"
        [ -f "$file" ] || "$here/demo-sample" "$file" "${part##*:}"
    done
}
session_clipjoiner() {
    "$wine64" reg add 'HKCU\Software\movarix\plugins' /v tmp /d "$windows_host" /f >/dev/null
}

# The editor's list lives beside it: a sample of a few entries, as the host reads them.
prepare_partroster() {
    [ -f "$host/plugins/Comp_lst.dll" ] && return
    echo "demo: writing a sample list $host/plugins/Comp_lst.dll"
    printf '%s\r\n' '1|1|Codecs folder|codecs' '2|3|Temporary folder|C:\Movarix\tmp' \
        '3|4|DivX decoder|codecs\divx.dll' '4|4|XviD decoder|C:\Windows\System32\xvid.ax' \
        >"$host/plugins/Comp_lst.dll"
}

wine64=/usr/lib/wine/wine64
x11_key='HKCU\Software\Wine\X11 Driver'

window_id() {
    { xwininfo -name "$1" 2>/dev/null || true; } | awk '/Window id:/ { print $4 }'
}

# With the person's display: their window manager frames the window; wait for them to close it.
show_window() {
    local app=$1
    "$wine64" reg delete "$x11_key" /v Managed /f >/dev/null 2>&1 || true
    echo "demo: $app is running; close its window to end the demo"
    (cd "$host" && "$wine64" "$host/plugins/$app.exe" ${app_arguments[$app]:+"${app_arguments[$app]}"}) ||
        echo "demo: $app exited with status $?"
    # A job the app started (cmd running the script, the encoder) may outlive its window.
    echo "demo: waiting for jobs $app started"
    /usr/lib/wine/wineserver -w
}

# On the private X server no window manager draws frames, so Wine draws them and the screenshot
# shows the caption as Windows would.
take_screenshot() {
    local app=$1 caption=${captions[$1]} pid id status
    local shot=$shots/$app.png
    "$wine64" reg add "$x11_key" /v Managed /d N /f >/dev/null
    (cd "$host" && exec "$wine64" "$host/plugins/$app.exe" ${app_arguments[$app]:+"${app_arguments[$app]}"}) &
    pid=$!
    for _ in $(seq 1 300); do
        id=$(window_id "$caption")
        [ -n "$id" ] && break
        if ! kill -0 "$pid" 2>/dev/null; then
            echo "demo: $app ended before showing its window" >&2
            return 1
        fi
        sleep 0.2
    done
    if [ -z "$id" ]; then
        echo "demo: no window \"$caption\" within 60 s" >&2
        return 1
    fi
    sleep 1  # let it finish painting
    mkdir -p "$shots"
    import -window "$id" "$shot"
    echo "demo: screenshot of $app: $shot"

    "$wine64" taskkill /im "$app.exe" >/dev/null
    for _ in $(seq 1 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.2
    done
    if kill -0 "$pid" 2>/dev/null; then
        echo "demo: $app did not close within 10 s of being asked to" >&2
        return 1
    fi
    status=0
    wait "$pid" || status=$?
    if [ "$status" -ne 0 ]; then
        echo "demo: $app exited with status $status" >&2
        return 1
    fi
}

# Inside wine-session: the prefix exists and there is a display.
if [ "${1:-}" = --in-session ]; then
    if [ "$(readlink "$WINEPREFIX/dosdevices/z:")" != / ]; then
        echo "demo: drive Z: of $WINEPREFIX is not the Unix root; the host is out of reach" >&2
        exit 1
    fi
    echo "demo: host root $windows_host"
    "$wine64" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "${DEMO_DPI:-96}" /f \
        >/dev/null
    if declare -F "session_$3" >/dev/null; then "session_$3"; fi
    if [ "$2" = screenshot ]; then take_screenshot "$3"; else show_window "$3"; fi
    exit
fi

app=${1:-clipcutter}
if [ -z "${captions[$app]+set}" ]; then
    echo "demo: no demo for '$app' (there is one for: ${!captions[*]})" >&2
    exit 2
fi

preset=${DEMO_PRESET:-win64}
if [ "$preset" = win32 ] && ! wine_runs_32bit; then
    echo "demo: this machine runs no 32-bit code; the win64 build is the one to show" >&2
    exit 2
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" --target "$app" encoder_bridge

build=$root/build/$preset
mkdir -p "$host/plugins" "$host/bin" "$host/tmp" "$host/media"
cp -f "$build/bin/$app.exe" "$host/plugins/"
cp -f "$build/bin/encoder-bridge/mencoder.exe" "$host/bin/"
if declare -F "prepare_$app" >/dev/null; then "prepare_$app"; fi

if [ -z "${DISPLAY:-}" ] || [ -n "${WINE_SESSION_PRIVATE_DISPLAY:-}" ]; then
    mode=screenshot
else
    mode=window
fi
exec "$here/wine-session" "$here/demo.sh" --in-session "$mode" "$app"
