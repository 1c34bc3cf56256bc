#!/usr/bin/env bash
# Runs a Windows program under Wine in the test environment: the prefix, the Russian locale
# and the test display. CMake uses it as the emulator of the windows build.
. "$(dirname "${BASH_SOURCE[0]}")/env.sh"
[ -d "$WINEPREFIX" ] || { log "no Wine prefix: run testenv/setup.sh first"; exit 2; }
with_wine_env "$WINELOADER" "$@"
