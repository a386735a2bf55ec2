# Shared by scripts/run and scripts/test: the Debian packages the project
# needs, installed only when missing, and the build helpers.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export ROOT

# Installs every package listed in scripts/packages/*.txt (or the files
# given) that dpkg does not report as installed.
ensure_packages() {
    local files=("$@")
    [ ${#files[@]} -eq 0 ] && files=("$ROOT"/scripts/packages/*.txt)
    local missing=()
    local pkg
    for pkg in $(grep -hv '^\s*#' "${files[@]}" | tr -s ' \n' '\n' | sort -u); do
        dpkg -s "$pkg" >/dev/null 2>&1 || missing+=("$pkg")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        echo "installing: ${missing[*]}"
        local sudo=""
        [ "$(id -u)" -ne 0 ] && sudo="sudo"
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
}

# Warnings are errors in CI, as CI runs it (CI=true).
WERROR=OFF
[ "${CI:-}" = "true" ] && WERROR=ON
export WERROR

jobs() { nproc 2>/dev/null || echo 2; }
