#!/usr/bin/env bash
# Runs a Windows program under Wine in the test environment: the prefix, the Russian locale
# and the test display. CMake uses it as the emulator of the windows build.
. "$(dirname "${BASH_SOURCE[0]}")/env.sh"
[ -d "$WINEPREFIX" ] || { log "no Wine prefix: run testenv/setup.sh first"; exit 2; }
# What ctest gives every test, also for programs a script runs (the test service's tool).
export XQV_SOURCE_DIR=${XQV_SOURCE_DIR:-$XQV_ROOT} XQV_TESTENV_DIR=${XQV_TESTENV_DIR:-$TESTENV_DIR}
export XQV_FB_HOST=${XQV_FB_HOST:-$FB_HOST} XQV_FB_PORT=${XQV_FB_PORT:-$FB_PORT}
with_wine_env "$WINELOADER" "$@"
