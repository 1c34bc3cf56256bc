#!/usr/bin/env bash
# The main job: installs what is missing, builds the updater, lays out an installation of the
# sample project at the preset location C:\XQV\OrveLin of the Wine prefix with both parts (the
# previous release of the sample client in "Program", the sample database at version 6 in
# "DB_Data" on the test server, the test service standing in for the maker's Firebird service),
# and updates it with the real exe under Wine: first the readiness check from the "Сервис" menu
# (it must find the installation ready), then Start, Yes at the question, the outcome. Driven
# automatically on the virtual display; with XQV_INTERACTIVE=1 the window opens on your own
# display and you choose the check and press Start yourself.
#
# Where this machine runs 32-bit programs it updates with the shipped i686 exe, as a 32-bit
# program on 64-bit Wine; elsewhere with the x86_64 build of the same sources. It says which.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/common.sh"
export XQV_ARCH=x86_64
if why_not_i686=$(can_run_i686); then XQV_ARCH=i686; fi
. "$(dirname "${BASH_SOURCE[0]}")/env.sh"

prepare_environment
build_preset windows
build_preset "$WINDOWS_TEST_PRESET"

# The test build gives the tools (the window driver, the test service's tool), the previous
# client release and, for the shipped exe, the client-library bridge beside it.
build=$XQV_ROOT/build/$WINDOWS_TEST_PRESET
bin=$build/bin
if [ "$XQV_ARCH" = i686 ]; then
    run=$TESTENV_DIR/shipped
    rm -rf "$run"
    mkdir -p "$run"
    cp "$XQV_ROOT"/build/windows/dist/* "$bin/fbclient.dll" "$run/"
    used="the shipped i686 exe (build/windows/dist/Updater_OrveLin.exe), as a 32-bit program on 64-bit Wine"
else
    run=$bin
    used="the x86_64 build of the same sources (build/windows-test/bin/Updater_OrveLin.exe): $why_not_i686"
fi
echo "main job: updating with $used"
shots=$XQV_ROOT/build/screenshots
installation=$WINEPREFIX/drive_c/XQV/OrveLin
mkdir -p "$shots"

# The installation before the update: the previous release's client in "Program", the sample
# database at version 6 in "DB_Data", served by the test server behind the test service.
"$XQV_ROOT/testenv/wine-run.sh" "$bin/xqvfbctl.exe" install vendor-super
rm -rf "$installation"
mkdir -p "$installation/Program" "$installation/DB_Data"
cp "$build/release/client-previous/OrveLin.exe" "$build/release/client-previous/OrveLin.chm" \
    "$installation/Program/"
database="$FB_HOST/$FB_PORT:$installation/DB_Data/OrveLin.fdb"
isql() { isql-fb -q -user "$FB_USER" -password "$FB_PASSWORD" "$@"; }
echo "CREATE DATABASE '$database' PAGE_SIZE 8192 DEFAULT CHARACTER SET WIN1251;" | isql
isql -ch WIN1251 -i "$XQV_ROOT/release/script/schema_v6.sql" "$database"

cd "$run"
rm -rf Logs
if [ "${XQV_INTERACTIVE:-}" = 1 ] && [ -n "${DISPLAY:-}" ]; then
    DISPLAY=$DISPLAY LOCPATH=$LOCALE_DIR LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8 \
        "$WINELOADER" Updater_OrveLin.exe
else
    "$XQV_ROOT/testenv/wine-run.sh" "$bin/xqvdrive.exe" \
        start Updater_OrveLin.exe \
        wait Updater_OrveLin 30 \
        screenshot "$shots/main-window.bmp" \
        menu Updater_OrveLin 305 \
        wait Information 120 \
        screenshot "$shots/main-job-readiness.bmp" \
        expect-text Information 65535 $'Все проверки пройдены: программа готова к обновлению.\r\rНичего не изменено.' \
        press Information OK \
        gone Information 10 \
        sleep 500 \
        click Updater_OrveLin 124 \
        press Information "&Yes" \
        wait-text Updater_OrveLin 123 $'Обновление прошло успешно.\r\nЗавершите работу с программой.' 300 \
        screenshot "$shots/main-job-result.bmp" \
        close Updater_OrveLin
    for shot in main-window main-job-readiness main-job-result; do
        convert "$shots/$shot.bmp" "$shots/$shot.png" && rm -f "$shots/$shot.bmp"
    done
    echo "main job: the window before the update: $shots/main-window.png"
    echo "main job: the readiness check's answer:  $shots/main-job-readiness.png"
    echo "main job: the window after the update:  $shots/main-job-result.png"
fi

log=$(ls -t "$run"/Logs/*_Updater.log | head -n 1)
lines=$(iconv -f CP1251 -t UTF-8 "$log" | tr '\r' '\n' | sed '/^$/d')
checked='Проверка готовности к обновлению завершена'
echo "main job: the readiness check before the update ($log):"
printf '%s\n' "$lines" | sed -n "/Проверка готовности к обновлению (ничего не изменяется)/,/$checked/p"
echo "main job: the update run ($log):"
case $lines in
*"$checked"*) printf '%s\n' "$lines" | sed "1,/$checked/d" ;;
*) printf '%s\n' "$lines" ;;
esac
echo "main job: C:\\XQV\\OrveLin\\Program now holds:"
ls -l "$installation/Program"
echo "main job: the database's version and mode (0: online):"
printf 'SELECT VERSIO_NO FROM VERSIO;\nSELECT MON$SHUTDOWN_MODE FROM MON$DATABASE;\n' | isql "$database"
echo "main job: done; it updated with $used"
