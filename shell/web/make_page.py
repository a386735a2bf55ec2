#!/usr/bin/env python3
"""Writes the one-file page: page.html with its style, the modules' scripts
(the WebAssembly inside each, as -sSINGLE_FILE writes it) and the page's own
script put in place of the markers /*STYLE*/, /*MODULE*/ and /*APP*/.

usage: make_page.py OUT.html page.html page.css app.js module.js...
"""
import os
import sys


def script_text(text: str) -> str:
    # Inside <script>, only "</script" (any case) would end the element early.
    return text.replace("</script", "<\\/script").replace("</SCRIPT", "<\\/SCRIPT")


def main() -> int:
    if len(sys.argv) < 6:
        print(__doc__, file=sys.stderr)
        return 2
    out, page, style, app, *modules = sys.argv[1:]
    read = lambda path: open(path, encoding="utf-8").read()
    html = read(page)
    for marker in ("/*STYLE*/", "/*MODULE*/", "/*APP*/"):
        if html.count(marker) != 1:
            print(f"make_page.py: {page} must hold {marker} exactly once", file=sys.stderr)
            return 1
    parts = {
        "/*STYLE*/": read(style).replace("</style", "<\\/style"),
        "/*MODULE*/": ";\n".join(script_text(read(m)) for m in modules),
        "/*APP*/": script_text(read(app)),
    }
    # Each marker is replaced in the template only, never inside inserted text.
    pieces = [html]
    for marker, text in parts.items():
        head, tail = pieces[-1].split(marker)
        pieces[-1:] = [head, text, tail]
    html = "".join(pieces)
    tmp = out + ".tmp"
    with open(tmp, "w", encoding="utf-8") as f:
        f.write(html)
    os.replace(tmp, out)
    return 0


if __name__ == "__main__":
    sys.exit(main())
