# Sourced by every script of the test environment: where things live and how Wine is called.
# Nothing here starts anything.

XQV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
XQV_BUILD=${XQV_BUILD:-$XQV_ROOT/build}
# A caller may name the folder itself (ctest does, and fb-server.sh --testenv).
TESTENV_DIR=${XQV_TESTENV_DIR:-$XQV_BUILD/testenv}
# shellcheck source=testenv.conf
. "$XQV_ROOT/testenv/testenv.conf"

export WINEPREFIX=$TESTENV_DIR/wineprefix
# A 64-bit prefix and Wine's 64-bit loader and server, called directly: /usr/bin/wine would
# prefer a 32-bit loader that may be installed but cannot run on these kernels.
export WINEARCH=win64
export WINELOADER=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver64
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree=;mshtml="
LOCALE_DIR=$TESTENV_DIR/locale
FB_DIR=$TESTENV_DIR/firebird
SMALL_DRIVE_DIR=$TESTENV_DIR/smalldrive
XVFB_PIDFILE=$TESTENV_DIR/xvfb.pid
XVFB_DISPLAYFILE=$TESTENV_DIR/display

# Runs a command with the Russian locale that gives Wine its 1251 ANSI code page, and the
# test display when one is up.
with_wine_env() {
    local display=${DISPLAY:-}
    [ -f "$XVFB_DISPLAYFILE" ] && display=$(cat "$XVFB_DISPLAYFILE")
    LOCPATH=$LOCALE_DIR LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8 DISPLAY=$display "$@"
}

wine() { "$WINELOADER" "$@"; }
wineserver() { "$WINESERVER" "$@"; }

log() { echo "testenv: $*" >&2; }
