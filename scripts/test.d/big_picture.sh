#!/usr/bin/env bash
# A 16000 x 12000 picture (576 MB of pixels) through the command-line tool,
# one run per command that needs a picture (from --list-commands) and one run
# of them all, with the memory peak of each measured by /usr/bin/time -v.
# Fails when any command fails on a small sample or on the big picture, or a
# run's peak exceeds BIG_PICTURE_MAX_MB (default 4096).
source "$(dirname "$0")/../lib.sh"
cd "$ROOT"
ensure_packages "$ROOT/scripts/packages/reliability.txt"

max_mb="${BIG_PICTURE_MAX_MB:-4096}"
cmake --preset release -DLUMAFORGE_WERROR=$WERROR >/dev/null
cmake --build --preset release -j "$(jobs)" --target lumaforge-cli
cli="$ROOT/build/release/cli/lumaforge-cli"

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

# One group of steps per command that needs a picture, at its dialog's first
# value (or its largest where that value does nothing); a forward transform
# at block 512 with the inverse below it in the table, which needs it.
mapfile -t groups < <("$cli" --list-commands | python3 -c '
import json, sys
rows = json.load(sys.stdin)["commands"]
for i, c in enumerate(rows):
    d = c["dialog"]
    if not c["step"] or c["guard"] == "none" or d["kind"] in ("file", "save-file"):
        continue
    if d["kind"] == "block-size":
        inverse = next(r for r in rows[i + 1:] if r["runs"] == "in-place" and r["dialog"]["kind"] == "none")
        print("%s=512 %s" % (c["step"], inverse["step"]))
    elif c["runs"] == "in-place" and d["kind"] == "none":
        continue  # an inverse: runs after its forward
    elif d["kind"] == "none":
        print(c["step"])
    elif d["kind"] == "kernel":  # its largest preset, one word
        print("%s=%s" % (c["step"], max(d["presets"], key=lambda p: len(p["kernel"]))["kernel"]))
    else:
        idle = d["initial"] == 0 and d["zero_does_nothing"]
        print("%s=%d" % (c["step"], d["max"] if idle else d["initial"]))
')
[ ${#groups[@]} -gt 0 ] || { echo "FAILED: no commands from --list-commands" >&2; exit 1; }
status=0
for g in "${groups[@]}"; do
    # shellcheck disable=SC2086
    if ! "$cli" samples/square.bmp $g --seed 1 >/dev/null 2>"$tmp/small.log"; then
        echo "FAILED on samples/square.bmp: $g" >&2
        head -5 "$tmp/small.log" >&2
        status=1
    fi
done
echo "commands run: ${groups[*]}"

python3 - "$tmp/big.bmp" <<'PY'
import struct, sys
w, h = 16000, 12000
row = 3 * w  # no padding: 48000 is a multiple of 4
with open(sys.argv[1], "wb") as f:
    f.write(b"BM" + struct.pack("<IHHI", 54 + row * h, 0, 0, 54))
    f.write(struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, row * h, 2835, 2835, 0, 0))
    base = bytes(((x * 7) ^ (x >> 5)) & 255 for x in range(row + 251))
    for y in range(h):
        s = (y * 13) % 251
        f.write(base[s:s + row])
PY

# Runs the tool on the big picture with the given steps; prints one line.
measure() {
    local label="$1"
    shift
    local start end peak_kb
    start=$(date +%s%3N)
    if ! /usr/bin/time -v "$cli" "$tmp/big.bmp" "$@" --seed 1 --stats >"$tmp/stats.json" 2>"$tmp/time.log"; then
        echo "FAILED: $label" >&2
        grep -v '^\s' "$tmp/time.log" | head -5 >&2
        status=1
        return
    fi
    end=$(date +%s%3N)
    peak_kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$tmp/time.log")
    printf '  %-28s peak %6d MB  %4d.%01d s\n' "$label" $((peak_kb / 1024)) $(((end - start) / 1000)) \
        $(((end - start) % 1000 / 100))
    if [ $((peak_kb / 1024)) -gt "$max_mb" ]; then
        echo "FAILED: $label peaked above $max_mb MB" >&2
        status=1
    fi
    grep -q '"width": 16000' "$tmp/stats.json" && grep -q '"height": 12000' "$tmp/stats.json" || {
        echo "FAILED: $label: wrong size in --stats" >&2
        status=1
    }
}

echo "16000 x 12000 (576 MB of pixels), lumaforge-cli big.bmp STEPS --stats:"
measure "(open only)"
# A file opened over two pictures is read before they are released: three at the peak.
measure "negative open=big.bmp" negative "open=$tmp/big.bmp"
for g in "${groups[@]}"; do
    # shellcheck disable=SC2086
    measure "$g" $g
done
all=()
for g in "${groups[@]}"; do
    # shellcheck disable=SC2206
    all+=($g)
done
measure "all of the above in one run" "${all[@]}" undo
exit $status
