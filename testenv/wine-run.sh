#!/usr/bin/env bash
# Runs a Windows program under Wine in the test environment: the prefix, the Russian locale
# and the test display. CMake uses it as the emulator of the windows builds, naming the build's
# bitness with --arch (x86_64 or i686); without it XQV_ARCH or x86_64 holds.
#
#   wine-run.sh [--arch x86_64|i686] PROGRAM.exe [ARGS...]
if [ "${1:-}" = --arch ]; then
    export XQV_ARCH=$2
    shift 2
fi
. "$(dirname "${BASH_SOURCE[0]}")/env.sh"
[ -d "$WINEPREFIX" ] || { log "no Wine prefix in $TESTENV_DIR: run XQV_ARCH=$XQV_ARCH testenv/setup.sh first"; exit 2; }
# What ctest gives every test, also for programs a script runs (the test service's tool).
export XQV_SOURCE_DIR=${XQV_SOURCE_DIR:-$XQV_ROOT} XQV_TESTENV_DIR=${XQV_TESTENV_DIR:-$TESTENV_DIR}
export XQV_FB_HOST=${XQV_FB_HOST:-$FB_HOST} XQV_FB_PORT=${XQV_FB_PORT:-$FB_PORT}
with_wine_env "$WINELOADER" "$@"
