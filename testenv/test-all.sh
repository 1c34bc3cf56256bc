#!/usr/bin/env bash
# Installs what is missing, brings the test environment up, builds, and runs every test: the
# native tests, and the whole Windows suite on the x86_64 build and, where this machine runs
# 32-bit programs, a second time on the i686 build, as 32-bit programs on 64-bit Wine, the way
# the shipped product runs on 64-bit Windows. Exits non-zero when anything fails.
set -euo pipefail
export XQV_ARCH=x86_64
. "$(dirname "${BASH_SOURCE[0]}")/env.sh"
. "$XQV_ROOT/testenv/common.sh"

with_i686=1
if ! why=$(can_run_i686); then
    with_i686=0
    log "the i686 run of the Windows suite is skipped: $why; the suite runs on the x86_64 build only"
fi

prepare_environment

build_preset native
build_preset windows
build_preset windows-test

cd "$XQV_ROOT"
status=0
ctest --preset native || status=1

if [ $with_i686 = 0 ]; then
    ctest --preset windows-test || status=1
    exit $status
fi

# The i686 build compiles and its suite runs while the x86_64 suite runs, in a network namespace
# of its own, so that its own Firebird server takes the same port. Where no namespace can be
# made, the two suites run one after the other.
i686_log=$XQV_BUILD/i686-suite.log
network=xqv-i686-$$
if private_network_add "$network"; then
    log "the i686 build and its suite run beside the x86_64 suite; their output follows it"
    (build_preset windows-test-i686 &&
        as_root ip netns exec "$network" env XQV_ARCH=i686 bash "$XQV_ROOT/testenv/windows-suite.sh") \
        >"$i686_log" 2>&1 &
    i686_run=$!
    ctest --preset windows-test || status=1
    wait $i686_run || status=1
    private_network_del "$network"
    cat "$i686_log"
else
    ctest --preset windows-test || status=1
    build_preset windows-test-i686 || status=1
    # One server on the port at a time.
    bash "$XQV_ROOT/testenv/stop.sh"
    XQV_ARCH=i686 bash "$XQV_ROOT/testenv/windows-suite.sh" || status=1
fi
[ $status = 0 ] && log "the Windows suite passed on both builds, x86_64 and i686"
exit $status
