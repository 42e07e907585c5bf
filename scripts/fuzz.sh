#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer) in
# build/fuzz and runs each of them for FUZZ_RUNS executions (one million unless set), starting
# from the seed corpus in fuzz/corpus/<target>. New inputs go to build/fuzz/corpus, so the
# seeds in the repository stay as they are. Ends non-zero at the first finding.
set -euo pipefail
cd "$(dirname "$0")/.."

runs="${FUZZ_RUNS:-1000000}"
targets=(fuzz_reply fuzz_receive_path fuzz_item_descriptor fuzz_field_descriptor fuzz_leading_number
    fuzz_number_entry)

cmake -S . -B build/fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKELVRA_BUILD_FUZZ=ON -DKELVRA_BUILD_TESTS=OFF -DKELVRA_BUILD_BENCH=OFF >/dev/null
cmake --build build/fuzz --target "${targets[@]}"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

declare -A executed
for target in "${targets[@]}"; do
    work="build/fuzz/corpus/${target}"
    mkdir -p "${work}" build/fuzz/artifacts
    log="build/fuzz/${target}.log"
    echo "== ${target}: ${runs} runs"
    if ! "build/fuzz/fuzz/${target}" -runs="${runs}" -print_final_stats=1 \
        -artifact_prefix="build/fuzz/artifacts/${target}-" \
        "${work}" "fuzz/corpus/${target}" >"${log}" 2>&1; then
        tail -n 40 "${log}"
        echo "FINDING in ${target}; input kept under build/fuzz/artifacts/" >&2
        exit 1
    fi
    executed[${target}]="$(sed -n 's/^stat::number_of_executed_units: *//p' "${log}")"
    grep -E '^(Done|stat::(number_of_executed_units|average_exec_per_sec|new_units_added))' \
        "${log}"
done

echo "== executions"
for target in "${targets[@]}"; do
    printf '%-24s %s\n' "${target}" "${executed[${target}]}"
done
