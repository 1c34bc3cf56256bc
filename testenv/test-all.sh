#!/usr/bin/env bash
# Installs what is missing, brings the test environment up, builds the three builds (the
# shipped i686 product, the x86_64 build the tests run under Wine, the native portable parts)
# and runs every test. Exits non-zero when anything fails.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/env.sh"
. "$XQV_ROOT/testenv/common.sh"

prepare_environment

build_preset native
build_preset windows
build_preset windows-test

cd "$XQV_ROOT"
status=0
ctest --preset native || status=1
ctest --preset windows-test || status=1
exit $status
