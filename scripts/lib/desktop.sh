# A private X11 desktop for scripts: Xvfb on a display it picks itself, openbox, a tray host and
# xterms. Sourced; every process started here is stopped by its process id on exit.

desktop_pids=()
desktop_dir=""

desktop_stop() {
    local i
    for ((i = ${#desktop_pids[@]} - 1; i >= 0; i--)); do
        kill "${desktop_pids[i]}" 2>/dev/null || true
    done
    for pid in "${desktop_pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    desktop_pids=()
    if [ -n "$desktop_dir" ]; then
        rm -rf "$desktop_dir"
        desktop_dir=""
    fi
}

# desktop_start [WIDTHxHEIGHT]: exports DISPLAY for the new desktop.
desktop_start() {
    local size="${1:-1920x1080}"
    desktop_dir="$(mktemp -d)"
    trap desktop_stop EXIT
    Xvfb -displayfd 5 -screen 0 "${size}x24" -nolisten tcp 5>"$desktop_dir/display" \
        >"$desktop_dir/xvfb.log" 2>&1 &
    desktop_pids+=($!)
    local tries=0
    while [ ! -s "$desktop_dir/display" ]; do
        tries=$((tries + 1))
        if [ "$tries" -gt 100 ]; then
            echo "desktop: Xvfb did not start" >&2
            cat "$desktop_dir/xvfb.log" >&2
            return 1
        fi
        sleep 0.1
    done
    export DISPLAY=":$(head -n1 "$desktop_dir/display")"
    openbox >"$desktop_dir/openbox.log" 2>&1 &
    desktop_pids+=($!)
    trayer --edge top --align right --widthtype request --height 24 --SetDockType true \
        --transparent false >"$desktop_dir/trayer.log" 2>&1 &
    desktop_pids+=($!)
    # The window manager owns the screen once it has set its check window.
    tries=0
    until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; do
        tries=$((tries + 1))
        if [ "$tries" -gt 100 ]; then
            echo "desktop: openbox did not start" >&2
            return 1
        fi
        sleep 0.1
    done
}

# desktop_spawn COMMAND...: runs a program on the desktop until the desktop stops.
desktop_spawn() {
    "$@" >/dev/null 2>&1 &
    desktop_pids+=($!)
}

# desktop_xterm TITLE [X Y]: an xterm, waited for until the window manager shows it.
desktop_xterm() {
    local title="$1" x="${2:-300}" y="${3:-200}"
    desktop_spawn xterm -T "$title" -geometry "90x28+$x+$y"
    timeout 10 xdotool search --sync --onlyvisible --name "^$title\$" >/dev/null
}

# desktop_wait_for_pid PID: waits until a window of the process is shown.
desktop_wait_for_pid() {
    timeout 20 xdotool search --sync --onlyvisible --pid "$1" >/dev/null
}

# desktop_tray_icon PID: the tray icon window of the process (the small one it shows).
desktop_tray_icon() {
    local window
    for window in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$window")"
        if [ "$WIDTH" -le 64 ] && [ "$HEIGHT" -le 64 ]; then
            echo "$window"
            return 0
        fi
    done
    return 1
}

# desktop_window_of_width PID WIDTH: a shown window of the process that is WIDTH pixels wide.
desktop_window_of_width() {
    local window
    for window in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$window")"
        if [ "$WIDTH" -eq "$2" ]; then
            echo "$window"
            return 0
        fi
    done
    return 1
}
