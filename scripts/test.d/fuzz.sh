#!/usr/bin/env bash
# Builds the fuzz preset (clang, address and undefined-behaviour sanitizers)
# and runs each libFuzzer target for a bounded time with a memory limit.
# Any crash, sanitizer report, leak, oversized allocation or broken invariant
# fails the suite; the input that did it is left in build/fuzz/artifacts/.
#
#   FUZZ_SECONDS=45 scripts/test.d/fuzz.sh   (seconds per target)
source "$(dirname "$0")/../lib.sh"
cd "$ROOT"
ensure_packages "$ROOT/scripts/packages/fuzz.txt"

seconds="${FUZZ_SECONDS:-45}"

cmake --preset fuzz -DLUMAFORGE_WERROR=$WERROR >/dev/null
cmake --build --preset fuzz -j "$(jobs)"

out="$ROOT/build/fuzz"
bin="$out/fuzz"
artifacts="$out/artifacts"
mkdir -p "$artifacts"

# Seeds: the samples, the hostile-BMP corpus of the tests, the pictures the
# front ends are held to each other on, the regression files of the
# decoders' target, and a few command lines. The working corpora grow across
# runs on one machine.
bmp_seeds="$out/seeds/bmp"
rm -rf "$bmp_seeds"
"$bin/make_bmp_corpus" "$bmp_seeds" >/dev/null
cp "$ROOT"/samples/*.bmp "$bmp_seeds"/
picture_seeds="$out/seeds/picture"
rm -rf "$picture_seeds"
"$bin/make_picture_corpus" "$picture_seeds" >/dev/null
cp "$ROOT"/fuzz/regressions/picture/* "$picture_seeds"/ 2>/dev/null || true
cli_seeds="$out/seeds/cli"
rm -rf "$cli_seeds"
mkdir -p "$cli_seeds" "$out/corpus/bmp" "$out/corpus/cli" "$out/corpus/picture"
# Writes its arguments as one seed: NUL between them, none at the end.
seed() {
    local file="$1"
    shift
    printf '%s\0' "$@" | head -c -1 >"$file"
}
seed "$cli_seeds/steps" in.bmp negative binarize=0 undo -o out.bmp --stats
seed "$cli_seeds/options" a.bmp open=b.bmp noise=14000 --client 1024x768 --scroll -5,7 --seed 42
seed "$cli_seeds/transforms" a.bmp fft-2d=256 fft-inverse median-2d=21 --view v.bmp
seed "$cli_seeds/help" --help

# The parser's words: its options, and every step with and without a value.
dict="$out/cli.dict"
cp "$ROOT/fuzz/cli.dict" "$dict"
"$out/cli/lumaforge-cli" --list-commands | python3 -c '
import json, sys
for c in json.load(sys.stdin)["commands"]:
    if c["step"]:
        print("\"%s\"\n\"%s=\"" % (c["step"], c["step"]))' >>"$dict"

# -malloc_limit_mb: no single allocation may come near what an input of
# -max_len bytes could justify; -rss_limit_mb bounds the whole process.
common=(-max_total_time="$seconds" -rss_limit_mb=2048 -timeout=20 -print_final_stats=1
        -artifact_prefix="$artifacts/")
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:allocator_may_return_null=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

status=0
echo "-- fuzz_load_bmp for ${seconds}s"
"$bin/fuzz_load_bmp" "${common[@]}" -max_len=65536 -malloc_limit_mb=64 \
    "$out/corpus/bmp" "$bmp_seeds" >"$out/load_bmp.log" 2>&1 || status=1
tail -n 12 "$out/load_bmp.log" | grep -E 'stat::|Done|ERROR|invariant|SUMMARY' || true

# A small file may declare a picture up to the heap bound of the target
# (1 MB of pixels), and Qt's plugins allocate for what the file declares.
echo "-- fuzz_decode_picture for ${seconds}s"
"$bin/fuzz_decode_picture" "${common[@]}" -max_len=65536 -malloc_limit_mb=256 -dict="$ROOT/fuzz/picture.dict" \
    "$out/corpus/picture" "$picture_seeds" >"$out/decode_picture.log" 2>&1 || status=1
tail -n 12 "$out/decode_picture.log" | grep -E 'stat::|Done|ERROR|invariant|SUMMARY' || true

echo "-- fuzz_cli_args for ${seconds}s"
"$bin/fuzz_cli_args" "${common[@]}" -max_len=1024 -malloc_limit_mb=64 -dict="$dict" \
    "$out/corpus/cli" "$cli_seeds" >"$out/cli_args.log" 2>&1 || status=1
tail -n 12 "$out/cli_args.log" | grep -E 'stat::|Done|ERROR|accepted|SUMMARY' || true

if [ $status -ne 0 ]; then
    echo "fuzzing found a fault: see $out/load_bmp.log, $out/decode_picture.log, $out/cli_args.log and $artifacts" >&2
    grep -h -A30 -E '==ERROR|invariant broken|accepted but unusable|runtime error' "$out"/*.log | head -60 >&2
    exit 1
fi
echo "fuzzing: no faults"
