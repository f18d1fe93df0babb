#!/usr/bin/env bash
# Builds one libFuzzer target per parser (clang, with AddressSanitizer and
# UBSan) in build-fuzz/ and runs each for a bounded time on seeds taken from
# the tests' data and the examples.
#   scripts/fuzz.sh [SECONDS_PER_TARGET=20] [TARGET...]
# KORL_FUZZ_SEED fixes libFuzzer's seed (0, the default, draws one), so that a
# run can be repeated input for input.
# Prints one line per target and ends with "N targets, M findings"; exits
# non-zero on any finding. The input of a finding is kept in
# build-fuzz/findings/ (run the target on that file to reproduce it).
set -uo pipefail
cd "$(dirname "$0")/.."
SECS=${1:-20}
SEED=${KORL_FUZZ_SEED:-0}
shift || true
OUT=build-fuzz
ALL=(fuzz_vcd fuzz_wvw fuzz_project fuzz_scparse fuzz_mi fuzz_classify)
if [ $# -gt 0 ]; then TARGETS=("$@"); else TARGETS=("${ALL[@]}"); fi
CXX=${CLANGXX:-$(command -v clang++ || command -v clang++-14 || true)}
if [ -z "$CXX" ]; then
    echo "fuzz: clang++ is not installed" >&2
    exit 2
fi

mkdir -p "$OUT"
if ! cmake -S . -B "$OUT" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$CXX" \
        -DKORL_FUZZ=ON >"$OUT/configure.log" 2>&1; then
    cat "$OUT/configure.log" >&2
    echo "fuzz: configuring $OUT failed" >&2
    exit 2
fi
if ! cmake --build "$OUT" -j"${KORL_JOBS:-2}" --target "${TARGETS[@]}" >"$OUT/build.log" 2>&1; then
    tail -40 "$OUT/build.log" >&2
    echo "fuzz: building the targets failed (log in $OUT/build.log)" >&2
    exit 2
fi

# Seeds of each target, gathered afresh (the learnt corpus under
# $OUT/corpus/ is kept between runs).
seed() { # target, files...
    local dir="$OUT/seeds/$1"
    shift
    for f in "$@"; do
        [ -f "$f" ] && cp "$f" "$dir/$(echo "$f" | tr '/ ' '__')"
    done
}
rm -rf "$OUT/seeds"
for t in "${ALL[@]}"; do mkdir -p "$OUT/seeds/$t" "$OUT/corpus/$t"; done
mkdir -p "$OUT/findings"
seed fuzz_vcd tests/fuzz/seeds/vcd/*
seed fuzz_wvw tests/fuzz/seeds/wvw/*
seed fuzz_project tests/fuzz/seeds/project/* examples/*/*.k1
seed fuzz_scparse tests/fuzz/seeds/scparse/* examples/*/*.cpp examples/*/*.h tests/scparse/designs/*/*.cpp tests/scparse/designs/*/*.h tests/debugger/data/src/*.cpp
seed fuzz_mi tests/fuzz/seeds/mi/* tests/debugger/data/*.txt
seed fuzz_classify tests/fuzz/seeds/classify/*

max_len() {
    case $1 in
        fuzz_mi | fuzz_wvw) echo 65536 ;;
        fuzz_classify | fuzz_project) echo 8192 ;;
        *) echo 16384 ;;
    esac
}

findings=0
for t in "${TARGETS[@]}"; do
    log="$OUT/$t.log"
    before=$(ls "$OUT/findings" | wc -l)
    dict=()
    [ -f "tests/fuzz/$t.dict" ] && dict=(-dict="tests/fuzz/$t.dict")
    # Leak checks stay on; a slow input (10 s) or 2 GB of memory is a finding too.
    ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1 \
        "$OUT/$t" -max_total_time="$SECS" -timeout=10 -rss_limit_mb=2048 -max_len="$(max_len "$t")" \
        -print_final_stats=1 -seed="$SEED" -artifact_prefix="$OUT/findings/$t-" "${dict[@]}" \
        "$OUT/corpus/$t" "$OUT/seeds/$t" >"$log" 2>&1
    rc=$?
    after=$(ls "$OUT/findings" | wc -l)
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    if [ "$rc" -ne 0 ] || [ "$after" -gt "$before" ]; then
        findings=$((findings + 1))
        what=$(grep -m1 -E '^==[0-9]+==ERROR|runtime error|^==[0-9]+== ERROR|deadly signal|Test unit written' "$log" |
            head -1)
        input=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -1)
        echo "$t: FINDING ${what:-exit code $rc}; input ${input:-none}; log $log"
    else
        echo "$t: ${runs:-0} runs in ${SECS} s, no finding"
    fi
done
echo "${#TARGETS[@]} targets, $findings findings"
[ "$findings" -eq 0 ]
