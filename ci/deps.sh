#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need, when missing.
# Needs root (apt-get); fails when a package cannot be installed.
set -euo pipefail

packages=(cmake ninja-build g++ googletest libgtest-dev clang libclang-rt-14-dev locales
          g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 wine32:i386 util-linux
          ansible ansible-lint nlohmann-json3-dev)

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    apt-get update -q
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
if [ "${#missing[@]}" -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

for tool in cmake ninja g++ clang++ i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix \
            wine iconv setpriv ansible-playbook ansible-lint; do
    command -v "$tool" >/dev/null || { echo "missing tool after installation: $tool" >&2; exit 1; }
done
# The installed GoogleTest serves the Linux builds, its sources the MinGW builds.
[ -f /usr/src/googletest/CMakeLists.txt ] || { echo "GoogleTest sources missing" >&2; exit 1; }

# Japanese messages are tested with the ja_JP.UTF-8 locale, natively and under Wine.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
    grep -q '^en_US.UTF-8 UTF-8' /etc/locale.gen || echo 'en_US.UTF-8 UTF-8' >> /etc/locale.gen
    grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' >> /etc/locale.gen
    locale-gen >/dev/null
fi
