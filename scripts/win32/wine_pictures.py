#!/usr/bin/env python3
"""The Windows lumaforge-cli (the Windows Imaging Component as its codec)
under Wine against the native one (Qt's image IO, libpng) on the picture
corpus the tests make: every lossless picture must give the same record,
byte for byte; a JPEG within JPEG_TOLERANCE per channel; a picture no
decoder can complete (cut short, a damaged data chunk) is refused with the
same message by both.

usage: wine_pictures.py --exe lumaforge-cli.exe --cli lumaforge-cli
                        --corpus-maker make_picture_corpus --prefix WINEPREFIX
"""
import argparse
import os
import struct
import subprocess
import sys
import tempfile

# Wine's imaging component decodes JPEG with another libjpeg than Qt's and
# the browsers' (which agree exactly): its smoothing of the half-resolution
# colour differs by up to 6 on the corpus's gradients.
JPEG_TOLERANCE = 8
# Formats a plain Wine has no decoder for (Windows: where its codec is
# installed).
UNDECODED = {".webp"}
BROKEN = "Облом при чтении!!!"


def records(path):
    data = open(path, "rb").read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height = struct.unpack_from("<ii", data, 18)
    return (width, height), data[offset:]


def broken_files(corpus, out):
    """A JPEG, a PNG and a GIF cut short, and a PNG whose data chunk's
    checksum is wrong."""
    made = []
    jpeg = open(os.path.join(corpus, "jpeg.jpg"), "rb").read()
    png = open(os.path.join(corpus, "png-rgb-8.png"), "rb").read()
    gif = open(os.path.join(corpus, "gif-transparent.gif"), "rb").read()
    for name, data in (("cut.jpg", jpeg[:len(jpeg) * 2 // 3]), ("cut.png", png[:len(png) // 2]),
                       ("cut.gif", gif[:len(gif) * 2 // 3]),
                       ("checksum.png", png[:-13] + bytes([png[-13] ^ 1]) + png[-12:])):
        made.append(os.path.join(out, name))
        open(made[-1], "wb").write(data)
    return made


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--exe", required=True)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--corpus-maker", required=True)
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--wine", default="/usr/lib/wine/wine64")
    args = parser.parse_args()
    env = dict(os.environ, WINEPREFIX=args.prefix, WINEDLLOVERRIDES="mscoree=;mshtml=", WINEDEBUG="-all")
    failures = []
    with tempfile.TemporaryDirectory(prefix="lumaforge-pictures-") as scratch:
        corpus = os.path.join(scratch, "corpus")
        subprocess.run([args.corpus_maker, corpus], check=True, capture_output=True)
        names = sorted(os.listdir(corpus))
        bad = os.path.join(scratch, "bad")
        os.mkdir(bad)
        for path in [os.path.join(corpus, n) for n in names] + broken_files(corpus, bad):
            name = os.path.basename(path)
            native_out, wine_out = os.path.join(scratch, "native.bmp"), os.path.join(scratch, "wine.bmp")
            for f in (native_out, wine_out):
                if os.path.exists(f):
                    os.remove(f)
            native = subprocess.run([args.cli, path, "-o", native_out], capture_output=True, text=True)
            wine = subprocess.run([args.wine, args.exe, path, "-o", wine_out], capture_output=True, text=True,
                                  env=env, timeout=120)
            extension = os.path.splitext(name)[1]
            if os.path.dirname(path) == bad:
                ok = native.returncode == 1 and wine.returncode == 1 and BROKEN in native.stderr and BROKEN in wine.stderr
                verdict = "refused by both" if ok else f"native {native.returncode} {native.stderr.strip()!r}, " \
                                                       f"wine {wine.returncode} {wine.stderr.strip()!r}"
            elif extension in UNDECODED and wine.returncode == 1:
                ok, verdict = native.returncode == 0, "not decoded under Wine (no codec)"
            elif native.returncode != 0 or wine.returncode != 0:
                ok, verdict = False, f"native {native.stderr.strip()!r}, wine {wine.stderr.strip()!r}"
            else:
                (size_n, block_n), (size_w, block_w) = records(native_out), records(wine_out)
                worst = max((abs(a - b) for a, b in zip(block_n, block_w)), default=0)
                allowed = JPEG_TOLERANCE if extension == ".jpg" else 0
                ok = size_n == size_w and len(block_n) == len(block_w) and worst <= allowed
                verdict = f"{size_w[0]}x{size_w[1]}, largest difference {worst}" if size_n == size_w else \
                          f"size {size_w} instead of {size_n}"
            print(("ok   " if ok else "FAIL ") + f"{name}: {verdict}", flush=True)
            if not ok:
                failures.append(name)
    print(f"wine pictures: {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
