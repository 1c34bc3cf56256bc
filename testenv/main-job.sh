#!/usr/bin/env bash
# The main job: installs what is missing, builds the updater and runs the real exe under Wine
# on the test display, saving a screenshot of its window.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/env.sh"
. "$XQV_ROOT/testenv/common.sh"

prepare_environment
trap 'bash "$XQV_ROOT/testenv/stop.sh"' EXIT
build_preset windows
build_preset windows-test

bin=$XQV_ROOT/build/windows-test/bin
shots=$XQV_ROOT/build/screenshots
mkdir -p "$shots"
cd "$bin"
"$XQV_ROOT/testenv/wine-run.sh" xqvdrive.exe \
    start Updater_OrveLin.exe \
    wait Updater_OrveLin 30 \
    screenshot "$shots/main-window.bmp" \
    close Updater_OrveLin
convert "$shots/main-window.bmp" "$shots/main-window.png"
rm -f "$shots/main-window.bmp"
echo "main job: screenshot of the updater's window: $shots/main-window.png"
