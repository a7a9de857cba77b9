#!/usr/bin/env bash
# Installs the Debian packages Tabulon needs to build, test and benchmark, when they are missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-declarative-dev qt6-declarative-private-dev qt6-tools-dev qt6-l10n-tools qt6-tools-dev-tools
    libgl-dev
    qt6-translations-l10n lintian
    libxml2-dev libxslt1-dev
    libgtest-dev libjemalloc-dev
    xsltproc time clang-format
    clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=""
    [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
