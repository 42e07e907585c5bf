#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer) in
# build/fuzz and runs each of them for FUZZ_RUNS executions (one million unless set), starting
# from the seed corpus in fuzz/corpus/<target>. New inputs go to build/fuzz/corpus, so the
# seeds in the repository stay as they are. Ends non-zero at the first finding.
#
#   scripts/fuzz.sh                      every target, one after the other
#   scripts/fuzz.sh fuzz_module_reply    the named targets only
set -euo pipefail
cd "$(dirname "$0")/.."

runs="${FUZZ_RUNS:-1000000}"
all=(fuzz_reply fuzz_receive_path fuzz_item_descriptor fuzz_field_descriptor fuzz_leading_number
    fuzz_number_entry fuzz_module_reply fuzz_sim_request fuzz_fault_list)

# Options of one target beyond the common ones: mostly the longest input worth trying, where a
# longer one only repeats what shorter ones reach and costs speed.
declare -A options=(
    [fuzz_receive_path]="-max_len=512"
    [fuzz_module_reply]="-max_len=256"
    [fuzz_sim_request]="-max_len=384"
    [fuzz_fault_list]="-max_len=256"
)

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=("${all[@]}")
fi
for target in "${targets[@]}"; do
    case " ${all[*]} " in
    *" ${target} "*) ;;
    *)
        echo "unknown target ${target}; the targets are: ${all[*]}" >&2
        exit 2
        ;;
    esac
done

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
    echo "== ${target}: ${runs} runs ${options[${target}]:-}"
    # shellcheck disable=SC2086 # the options are words of their own
    if ! "build/fuzz/fuzz/${target}" -runs="${runs}" -print_final_stats=1 ${options[${target}]:-} \
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
