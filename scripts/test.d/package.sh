#!/usr/bin/env bash
# The packages as users get them. scripts/package builds them (reusing the
# release build; the MinGW builds it makes serve win32.sh after it); then the Debian package
# is checked (lintian, desktop-file-validate), installed on this machine,
# used from the command line and from its desktop entry, and removed; the
# Windows executables' version resources are read back, and the 64-bit
# installer, the installed program and the uninstaller run under Wine.
source "$(dirname "$0")/../lib.sh"
cd "$ROOT"
started=$SECONDS

bash scripts/package
version=$("$ROOT/build/release/cli/lumaforge-cli" --version | cut -d' ' -f2)
deb="$ROOT/dist/lumaforge_${version}_amd64.deb"
out="$ROOT/build/release/install-test"
rm -rf "$out" && mkdir -p "$out"

echo "== lintian"
# It also checks the man pages' formatting and the icons' sizes.
lintian_code=0
lintian --display-info --pedantic --fail-on error,warning "$deb" > "$out/lintian.txt" 2>&1 || lintian_code=$?
grep -v 'running with root privileges' "$out/lintian.txt" | sed 's/^/  /' || true
[ $lintian_code -eq 0 ] || { echo "lintian: errors or warnings (exit code $lintian_code)"; exit 1; }
echo "  lintian: no errors, no warnings"

echo "== the Debian package on this machine"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
remove_package() { $sudo dpkg -r lumaforge >/dev/null || true; }
trap remove_package EXIT
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq -o DPkg::Lock::Timeout=120 "$deb" >"$out/apt.log" 2>&1 ||
    { cat "$out/apt.log"; echo "apt-get could not install $deb"; exit 1; }
[ "$(lumaforge-cli --version)" = "lumaforge-cli $version" ] || { echo "lumaforge-cli --version: $(lumaforge-cli --version)"; exit 1; }
[ "$(lumaforge --version)" = "lumaforge $version" ] || { echo "lumaforge --version: $(lumaforge --version)"; exit 1; }
# The installed (stripped, hardened) tool computes what the build does.
lumaforge-cli samples/photo.bmp negative --stats -o "$out/installed.bmp" > "$out/installed.json"
build/release/cli/lumaforge-cli samples/photo.bmp negative --stats -o "$out/built.bmp" > "$out/built.json"
cmp "$out/installed.json" "$out/built.json" && cmp "$out/installed.bmp" "$out/built.bmp"
echo "  $(command -v lumaforge-cli) $version: photo.bmp negative as the build computes it"
# The guide where the installed program looks for it, as the build wrote it.
for page in index.html en/index.html; do
    cmp "/usr/share/doc/lumaforge/guide/$page" "build/release/docs/guide/$page"
done
echo "  the guide: /usr/share/doc/lumaforge/guide/index.html, in English en/index.html"
desktop=/usr/share/applications/lumaforge.desktop
# Two main categories (Graphics, Education) earn a hint; errors and
# warnings fail.
validation=$(desktop-file-validate "$desktop" || echo "error: desktop-file-validate failed")
echo "$validation" | grep -v '^$' | sed 's/^/  /' || true
if echo "$validation" | grep -v ': hint: ' | grep -q .; then exit 1; fi

echo "== the Windows programs' version resources"
for pair in mingw-x86_64:x86_64:64:x64 mingw-i686:i686:32:x86; do
    IFS=: read -r preset arch bits setup_arch <<< "$pair"
    exe="build/$preset/shell/win32/lumaforge.exe"
    python3 scripts/win32/check_version.py "$exe" "$version" "$arch"
    python3 scripts/win32/check_version.py "dist/lumaforge-$version-setup-$setup_arch.exe" "$version" "$arch"
    unzip -p "dist/lumaforge-$version-win$bits.zip" lumaforge.exe | cmp - "$exe"
    for page in index.html en/index.html; do
        unzip -p "dist/lumaforge-$version-win$bits.zip" "guide/$page" | cmp - "build/$preset/docs/guide/$page"
    done
done
echo "  each zip holds its lumaforge.exe and the guide beside it, in Russian and English"

echo "== the desktop entry and the Windows installer, run"
python3 scripts/install_test.py --desktop "$desktop" \
    --setup "dist/lumaforge-$version-setup-x64.exe" --exe build/mingw-x86_64/shell/win32/lumaforge.exe \
    --sample samples/photo.bmp --prefix "$ROOT/build/mingw-x86_64/wineprefix-installer" --out "$out"

remove_package
trap - EXIT
for file in $(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print substr($6, 2)}'); do
    [ ! -e "$file" ] || { echo "removing the package left $file behind"; exit 1; }
done
echo "  removed: none of its files left"
echo "== packages: $((SECONDS - started))s"
