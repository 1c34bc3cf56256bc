#!/usr/bin/env bash
# Runs the whole Windows suite of one build (XQV_ARCH: x86_64 or i686) in that build's test
# environment, which it brings up first and takes down after (unless it was up before). The
# build must be there; test-all.sh builds it.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/env.sh"
. "$XQV_ROOT/testenv/common.sh"

bring_environment_up
cd "$XQV_ROOT"
log "the Windows suite on the $XQV_ARCH build ($WINDOWS_TEST_PRESET)"
ctest --preset "$WINDOWS_TEST_PRESET"
