# Sourced by every script of the test environment: where things live and how Wine is called.
# Nothing here starts anything.
#
# XQV_ARCH names the build whose programs run: x86_64 (the default) or i686 (the shipped
# bitness, run as 32-bit programs on 64-bit Wine, the way they run on 64-bit Windows). Each build
# has its own test-environment folder, so their prefixes, displays and servers never mix.

XQV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
XQV_BUILD=${XQV_BUILD:-$XQV_ROOT/build}
XQV_ARCH=${XQV_ARCH:-x86_64}
case $XQV_ARCH in
x86_64) default_testenv=$XQV_BUILD/testenv WINDOWS_TEST_PRESET=windows-test ;;
i686) default_testenv=$XQV_BUILD/testenv-i686 WINDOWS_TEST_PRESET=windows-test-i686 ;;
*)
    echo "testenv: XQV_ARCH must be x86_64 or i686, not '$XQV_ARCH'" >&2
    return 2 2>/dev/null || exit 2
    ;;
esac
export XQV_ARCH
# A caller may name the folder itself (ctest does, and fb-server.sh --testenv).
TESTENV_DIR=${XQV_TESTENV_DIR:-$default_testenv}
unset default_testenv
# shellcheck source=testenv.conf
. "$XQV_ROOT/testenv/testenv.conf"

# Always a 64-bit prefix, created by the 64-bit loader, as on 64-bit Windows. Loaders are called
# directly: /usr/bin/wine would prefer a 32-bit loader that may be installed but cannot run on
# every kernel. A 32-bit build's programs start through the 32-bit loader, which runs them in the
# 64-bit prefix (the 32-bit system folder, the 32-bit registry view).
export WINEPREFIX=$TESTENV_DIR/wineprefix
export WINEARCH=win64
PREFIX_LOADER=/usr/lib/wine/wine64
if [ "$XQV_ARCH" = i686 ]; then
    export WINELOADER=/usr/lib/wine/wine
else
    export WINELOADER=$PREFIX_LOADER
fi
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
