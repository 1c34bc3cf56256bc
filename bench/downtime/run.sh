#!/usr/bin/env bash
# The downtime of a server update of the sample installation: the time the database is not
# online (from the shutdown to the end of the online switch), split into the fixed pauses, the
# service stop and start, the backup copy, the script and everything else, from one real run.
# Needs the test environment (testenv/setup.sh) and a windows-test build with the
# downtime_bench target built.
#   bench/downtime/run.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=${1:-$root/build/windows-test}
exe=$build/bin/downtime_bench.exe
[ -f "$exe" ] || { echo "no $exe: build the downtime_bench target first" >&2; exit 2; }
. "$root/testenv/env.sh"
cd "$build/bin"
XQV_FB_PORT=$FB_PORT XQV_FB_HOST=$FB_HOST XQV_FB_USER=$FB_USER XQV_FB_PASSWORD=$FB_PASSWORD \
    XQV_TESTENV_DIR=$TESTENV_DIR XQV_SOURCE_DIR=$root "$root/testenv/wine-run.sh" "$exe"
