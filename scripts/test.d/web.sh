#!/usr/bin/env bash
# The browser page: builds it (scripts/web), then runs the web tests (label
# web): the page in headless Chromium, driven as a user drives it, against
# the native lumaforge-cli; and the WebAssembly lumaforge-cli against the
# native one on every sample and command.
source "$(dirname "$0")/../lib.sh"
cd "$ROOT"
ensure_packages  # all lists: the release configure below needs the others

cmake --preset release -DLUMAFORGE_WERROR=$WERROR >/dev/null
cmake --build --preset release -j "$(jobs)" --target lumaforge-cli make_picture_corpus
start=$(date +%s)
LUMAFORGE_HOST_CLI="$ROOT/build/release/cli/lumaforge-cli" bash scripts/web
echo "page built in $(( $(date +%s) - start )) s"
ctest --test-dir build/web-build/shell/web -L web --no-tests=error --output-on-failure --timeout 900
