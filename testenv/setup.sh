#!/usr/bin/env bash
# Brings the test environment of one build (XQV_ARCH, see env.sh) up: the Russian locale, the
# 64-bit Wine prefix with a warm persistent wineserver, an Xvfb display, and the private
# Firebird 3 server on 127.0.0.1:3051.
# Idempotent: whatever already runs is left running. testenv/stop.sh takes it all down.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/env.sh"
mkdir -p "$TESTENV_DIR"

setup_locale() {
    [ -f "$LOCALE_DIR/ru_RU.UTF-8/LC_CTYPE" ] && return
    log "generating ru_RU.UTF-8 into $LOCALE_DIR"
    mkdir -p "$LOCALE_DIR"
    # localedef warns about harmless things and then exits 1; the files are what counts.
    localedef -i ru_RU -f UTF-8 "$LOCALE_DIR/ru_RU.UTF-8" 2>/dev/null || true
    [ -f "$LOCALE_DIR/ru_RU.UTF-8/LC_CTYPE" ] || { log "localedef failed"; exit 1; }
}

# A Wine program run by the 64-bit loader, which alone creates the 64-bit prefix.
prefix_wine() { WINELOADER=$PREFIX_LOADER with_wine_env "$PREFIX_LOADER" "$@"; }

setup_prefix() {
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        log "creating the Wine prefix $WINEPREFIX"
        prefix_wine wineboot -i </dev/null >/dev/null 2>&1
        with_wine_env "$WINESERVER" -w
        # Xvfb has no window manager: Wine draws the title bars and frames itself, so windows
        # look (and screenshots show them) as on Windows.
        prefix_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f \
            </dev/null >/dev/null 2>&1
        prefix_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
            </dev/null >/dev/null 2>&1
        with_wine_env "$WINESERVER" -w
    fi
    # A persistent, warmed-up server makes every later Wine start fast and keeps Wine services
    # alive between calls. Its output must be redirected or output-capturing callers hang.
    with_wine_env "$WINESERVER" -p </dev/null >/dev/null 2>&1 || true
    with_wine_env "$WINELOADER" cmd /c exit </dev/null >/dev/null 2>&1
}

display_alive() {
    [ -f "$XVFB_PIDFILE" ] && kill -0 "$(cat "$XVFB_PIDFILE")" 2>/dev/null
}

setup_display() {
    display_alive && return
    local n
    for n in $(seq 90 140); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp </dev/null >"$TESTENV_DIR/xvfb.log" 2>&1 &
        echo $! >"$XVFB_PIDFILE"
        echo ":$n" >"$XVFB_DISPLAYFILE"
        local i
        for i in $(seq 50); do
            [ -e "/tmp/.X11-unix/X$n" ] && { log "Xvfb on :$n"; return; }
            kill -0 "$(cat "$XVFB_PIDFILE")" 2>/dev/null || break
            sleep 0.1
        done
        rm -f "$XVFB_PIDFILE" "$XVFB_DISPLAYFILE"
    done
    log "could not start Xvfb"
    exit 1
}

isql() { isql-fb -q -user "$FB_USER" "$@"; }

# SYSDBA of the copied security database has the password Debian generated; the tests use
# the one in testenv.conf.
set_sysdba_password() {
    local probe="$FB_DIR/probe.fdb"
    rm -f "$probe"
    if echo "CREATE DATABASE '$FB_HOST/$FB_PORT:$probe';" |
        isql -password "$FB_PASSWORD" >/dev/null 2>&1; then
        rm -f "$probe"
        return
    fi
    local debian
    debian=$(sed -n 's/^ISC_PASSWORD="\{0,1\}\([^"]*\)"\{0,1\}$/\1/p' /etc/firebird/3.0/SYSDBA.password)
    log "setting the test SYSDBA password"
    printf "CREATE DATABASE '%s';\nALTER USER SYSDBA PASSWORD '%s';\nCOMMIT;\n" \
        "$FB_HOST/$FB_PORT:$probe" "$FB_PASSWORD" | isql -password "$debian"
    rm -f "$probe"
}

setup_firebird() {
    bash "$XQV_ROOT/testenv/fb-server.sh" start
    set_sysdba_password
}

# A small drive S: (an 8 MB tmpfs) for the tests that need a disk nearly full. Without the right
# to mount it the drive is missing, and those tests say so and skip.
setup_small_drive() {
    mkdir -p "$SMALL_DRIVE_DIR"
    if ! mountpoint -q "$SMALL_DRIVE_DIR" &&
        ! mount -t tmpfs -o size=8m xqvsmall "$SMALL_DRIVE_DIR" 2>/dev/null; then
        log "cannot mount the small drive S: here; its tests will be skipped"
        rm -f "$WINEPREFIX/dosdevices/s:"
        return 0
    fi
    ln -sfn "$SMALL_DRIVE_DIR" "$WINEPREFIX/dosdevices/s:"
}

if [ ! -x "$WINELOADER" ]; then
    if [ "$XQV_ARCH" = i686 ]; then
        log "no 32-bit Wine ($WINELOADER): run testenv/install-packages.sh --i686 on a machine that runs 32-bit programs"
    else
        log "no Wine ($WINELOADER): run testenv/install-packages.sh"
    fi
    exit 1
fi
setup_locale
# The display comes first: the prefix's first programs (the desktop process among them) stay in
# the persistent wineserver's session, and windows made in a session whose desktop started
# without a display cannot be created.
setup_display
setup_prefix
setup_small_drive
setup_firebird
log "ready (prefix $WINEPREFIX, display $(cat "$XVFB_DISPLAYFILE"), Firebird $FB_HOST:$FB_PORT)"
