#!/usr/bin/env bash
# Long fuzzing: runs every fuzz target of the native build (statement splitter, directive
# reader, connect parameter string, user-names reader, parameter buffers) under the address and
# undefined-behaviour sanitizers for a fixed number of executions each, starting from the corpus
# kept in the repository (tests/fuzz/corpus/<target>) plus the target's seeds. Prints one line per
# target: executions, seconds, executions per second, corpus size, findings. A finding leaves its
# input in build/fuzz-long/<target>/ and makes the script exit non-zero. With --update-corpus the
# inputs that reached new code are merged (minimised) back into the repository's corpus.
#   bench/fuzz-long/run.sh [--update-corpus] [RUNS]        (RUNS: 10000000 by default)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
update=0
if [ "${1:-}" = --update-corpus ]; then
    update=1
    shift
fi
runs=${1:-10000000}
build=$root/build/native
out=$root/build/fuzz-long
cmake --preset native >/dev/null
cmake --build --preset native --target fuzz_script_splitter fuzz_user_names fuzz_directives \
    fuzz_connect_params fuzz_param_buffers >/dev/null

# target name, binary, extra seed folders
targets=(
    "script_splitter $build/tests/fuzz/fuzz_script_splitter_fuzzer $root/release/script"
    "user_names $build/tests/fuzz/fuzz_user_names_fuzzer"
    "directives $build/tests/fuzz/fuzz_directives_fuzzer"
    "connect_params $build/tests/fuzz/fuzz_connect_params_fuzzer"
    "param_buffers $build/tests/fuzz/fuzz_param_buffers_fuzzer"
)
status=0
printf '%-16s %12s %8s %10s %8s %s\n' target executions seconds 'exec/s' corpus findings
for entry in "${targets[@]}"; do
    read -r name binary seeds <<<"$entry"
    kept=$root/tests/fuzz/corpus/$name
    work=$out/$name
    rm -rf "$work"
    mkdir -p "$work/corpus" "$work/findings" "$kept"
    start=$(date +%s)
    set +e
    # shellcheck disable=SC2086
    "$binary" -runs="$runs" -print_final_stats=1 -artifact_prefix="$work/findings/" \
        "$work/corpus" "$kept" $seeds >"$work/log" 2>&1
    result=$?
    set -e
    seconds=$(($(date +%s) - start))
    done_runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -n 1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/log" | tail -n 1)
    findings=$(find "$work/findings" -type f | wc -l)
    corpus=$(find "$work/corpus" "$kept" -type f | wc -l)
    if [ "$result" -ne 0 ] || [ "$findings" -ne 0 ]; then
        status=1
        findings="$findings (exit $result, see $work/log)"
    fi
    printf '%-16s %12s %8s %10s %8s %s\n' "$name" "${done_runs:-?}" "$seconds" "${rate:-?}" \
        "$corpus" "$findings"
    if [ "$update" = 1 ] && [ "$result" -eq 0 ]; then
        "$binary" -merge=1 "$kept" "$work/corpus" >"$work/merge.log" 2>&1
    fi
done
exit $status
