#!/usr/bin/env python3
"""The WebAssembly build of lumaforge-cli (under Node.js) against the native
one: the same picture, statistics, client view, frames and messages for
every command on every sample, byte for byte. The page runs the same core
code, so this holds its vector paths and its single-threaded row splitting
to the native results.

usage: wasm_cli_test.py --wasm-cli lumaforge-cli.js --cli lumaforge-cli --samples DIR
"""
import argparse
import filecmp
import glob
import json
import os
import shutil
import subprocess
import sys
import tempfile

# Sequences that exercise more than one command each: a command between a
# transform and its inverse, undo twice, a value the dialog cannot give.
SEQUENCES = ["fft-2d=16 negative fft-inverse", "negative undo undo grayscale", "median-2d=4",
             "kernel=3:1,-2,1,0,7,0,-1,2,-1/4+17,abs,rgb",
             "kernel=5:-3,0,40,0,-3,0,90,-100,90,0,40,-100,200,-100,40,0,90,-100,90,0,-3,0,40,0,-3/300-5,plus128,luma"]


def steps(cli):
    """The picture as opened, then every command's step from --list-commands
    (but the file commands): at its dialog's smallest and largest value, a
    forward transform also at its largest block and at block 32 with the
    inverse below it in the table, the kernel at each preset; then the
    sequences."""
    rows = json.loads(subprocess.run([cli, "--list-commands"], capture_output=True, check=True).stdout)["commands"]
    out = [""]
    for i, c in enumerate(rows):
        d = c["dialog"]
        if not c["step"] or d["kind"] in ("file", "save-file"):
            continue
        if d["kind"] == "block-size":
            inverse = next(r for r in rows[i + 1:] if r["runs"] == "in-place" and r["dialog"]["kind"] == "none")
            out += [c["step"], f"{c['step']}=32 {inverse['step']}"]
        elif d["kind"] == "none":
            out.append(c["step"])
        elif d["kind"] == "kernel":
            out += [f"{c['step']}={p['kernel']}" for p in d["presets"]]
        else:
            out += [f"{c['step']}={d['min']}", f"{c['step']}={d['max']}"]
    return out + SEQUENCES


def run(command, out_dir, tag):
    r = subprocess.run(command + ["-o", os.path.join(out_dir, tag + ".out.bmp"),
                                  "--view", os.path.join(out_dir, tag + ".view.bmp"),
                                  "--client", "700x500", "--scroll", "13,4", "--seed", "7", "--stats"],
                       capture_output=True)
    with open(os.path.join(out_dir, tag + ".result"), "wb") as f:
        f.write(b"%d\n" % r.returncode + r.stdout + b"\n--\n" + r.stderr)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wasm-cli", required=True)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--samples", required=True)
    args = parser.parse_args()
    node = shutil.which("node") or "/usr/bin/node"
    scratch = tempfile.mkdtemp(prefix="lumaforge-wasm-")
    failed = passed = 0
    try:
        native, wasm = os.path.join(scratch, "native"), os.path.join(scratch, "wasm")
        os.makedirs(native)
        os.makedirs(wasm)
        samples = sorted(glob.glob(os.path.join(args.samples, "*.bmp")))
        cases = steps(args.cli)
        for sample in samples:
            for i, step in enumerate(cases):
                tag = f"{os.path.basename(sample)}-{i}"
                run([args.cli, sample, *step.split()], native, tag)
                run([node, args.wasm_cli, sample, *step.split()], wasm, tag)
                names = [n for n in os.listdir(native) if n.startswith(tag + ".")]
                same = sorted(names) == sorted(n for n in os.listdir(wasm) if n.startswith(tag + ".")) and all(
                    filecmp.cmp(os.path.join(native, n), os.path.join(wasm, n), shallow=False) for n in names)
                if same:
                    passed += 1
                else:
                    failed += 1
                    print(f"FAIL {os.path.basename(sample)} {step or '(open only)'}", flush=True)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    print(f"{passed} passed, {failed} failed")
    return 1 if failed or not passed else 0


if __name__ == "__main__":
    sys.exit(main())
