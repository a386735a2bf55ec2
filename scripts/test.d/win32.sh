#!/usr/bin/env bash
# The Windows program: builds both executables (32- and 64-bit), reads each
# one's resources back, and drives the 64-bit one under Wine (label wine):
# 32-bit Windows programs cannot run on these machines.
source "$(dirname "$0")/../lib.sh"
cd "$ROOT"
ensure_packages  # all lists: the release configure below needs the others


# The Wine test compares the window with what this machine's lumaforge-cli
# renders; scripts/test has built it already, so this is quick there.
cmake --preset release -DLUMAFORGE_WERROR=$WERROR >/dev/null
cmake --build --preset release -j "$(jobs)" --target lumaforge-cli make_picture_corpus
host_cli="$ROOT/build/release/cli/lumaforge-cli"

for preset in mingw-i686 mingw-x86_64; do
    echo "== $preset build"
    cmake --preset "$preset" -DLUMAFORGE_WERROR=$WERROR -DLUMAFORGE_HOST_CLI="$host_cli" >/dev/null
    cmake --build --preset "$preset" -j "$(jobs)"
    echo "== $preset tests"
    ctest --test-dir "build/$preset/shell/win32" --verbose --timeout 600
done
