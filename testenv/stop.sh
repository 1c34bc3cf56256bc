#!/usr/bin/env bash
# Takes down what testenv/setup.sh started: the wineserver, Xvfb and the private Firebird server.
. "$(dirname "${BASH_SOURCE[0]}")/env.sh"
[ -d "$WINEPREFIX" ] && with_wine_env "$WINESERVER" -k 2>/dev/null
stop_pid() {
    [ -f "$1" ] || return 0
    local pid
    pid=$(cat "$1")
    if kill "$pid" 2>/dev/null; then
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null
    fi
    rm -f "$1"
}
stop_pid "$XVFB_PIDFILE"
rm -f "$XVFB_DISPLAYFILE"
bash "$XQV_ROOT/testenv/fb-server.sh" stop
mountpoint -q "$SMALL_DRIVE_DIR" && umount "$SMALL_DRIVE_DIR"
exit 0
