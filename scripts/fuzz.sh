#!/usr/bin/env bash
# Builds the VCD-parser and wave-view-reader fuzz targets with clang's
# libFuzzer (plus ASan/UBSan) and runs each for a bounded time.
#   scripts/fuzz.sh [SECONDS_PER_TARGET=20]
set -euo pipefail
cd "$(dirname "$0")/.."
SECS=${1:-20}
CXX=${CLANGXX:-clang++}
OUT=build-fuzz
mkdir -p "$OUT/corpus_vcd" "$OUT/corpus_wvw"
FLAGS=(-std=c++20 -O1 -g -I. -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
LIBS=(grammar/*.cpp waview/*.cpp)

"$CXX" "${FLAGS[@]}" tests/grammar/fuzz_vcd_parse.cpp "${LIBS[@]}" -o "$OUT/fuzz_vcd_parse"
"$CXX" "${FLAGS[@]}" tests/waview/fuzz_wvw_read.cpp "${LIBS[@]}" -o "$OUT/fuzz_wvw_read"

# Seeds: a dump using most of the syntax, and a small valid wave-view file.
cat > "$OUT/corpus_vcd/seed1.vcd" <<'VCD'
$date x $end
$timescale 10 ps $end
$scope module top $end
$var wire 1 ! clk $end
$var wire 4 " d [3:0] $end
$var integer 32 # n $end
$var real 64 $ r $end
$scope task t $end
$var reg 2 % q[1:0] $end
$upscope $end
$upscope $end
$enddefinitions $end
#0
$dumpvars
0!
bx "
b0 #
r0.5 $
b1 %
$end
#5
1!
b101 "
$comment c $end
#4294967306
z!
VCD
python3 - "$OUT/corpus_wvw/seed1.wvw" <<'PY'
import struct, sys
b = struct.pack('<ii', -9, 2) + struct.pack('<ii', 8, 1)
rows = struct.pack('<i', 3)
rows += struct.pack('<iI', 2, 3) + b'top' + struct.pack('<iiiiii', 0, 0, 1, 1, 1, 2) + struct.pack('<ii', 1, 2)
rows += struct.pack('<iI', 1, 1) + b'a' + struct.pack('<iiiii', 1, 0, 1, 1, 0)
rows += struct.pack('<iI', 1, 1) + b'n' + struct.pack('<iiiii', 1, 1, 1, 1, 1)
def data(entries):
    out = struct.pack('<ii', len(entries) - 1, 0)
    for t, v in entries + [(-1, 0)] * (32 - len(entries)):
        out += struct.pack('<qq', t, v)
    return out
sig = data([(-1, 0), (0, 1), (10, 3), (20, 3)]) + data([(-1, 0), (5, 42), (20, 42)])
open(sys.argv[1], 'wb').write(b + rows + sig)
PY

"$OUT/fuzz_vcd_parse" -max_total_time="$SECS" -max_len=4096 -print_final_stats=1 "$OUT/corpus_vcd" 2>&1 | tail -5
"$OUT/fuzz_wvw_read" -max_total_time="$SECS" -max_len=4096 -print_final_stats=1 "$OUT/corpus_wvw" 2>&1 | tail -5
