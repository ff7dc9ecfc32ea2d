#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need, when missing. Needs
# root (apt-get).
# - A package index that still fails after a few tries (a mirror in the middle
#   of a sync) does not stop it: it goes on with the indexes it has and says
#   which one failed.
# - The 32-bit Wine packages, and the i386 architecture they need, are
#   installed only where the kernel runs 32-bit programs (IZ_WINE32_RUNS=yes,
#   from ci/probe-32bit.sh, which it sources when the caller has not).
# - Each package that cannot be installed is named with apt's reason, one line
#   each, at the end of its output and, when IZ_DEPS_REPORT names a file, in
#   that file as "package<TAB>reason"; an index that failed is written there
#   as "index<TAB>address: reason".
# Exit status: 0 when everything is installed but, at most, the 32-bit Wine
# packages (the caller fails the 32-bit Windows suites for those); 1 when any
# other package or tool is missing.
set -uo pipefail
cd "$(dirname "$0")/.."
source ci/probe-32bit.sh

packages=(cmake ninja-build g++ googletest libgtest-dev clang libclang-rt-14-dev locales
          g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 util-linux nlohmann-json3-dev
          ansible ansible-lint)
wine32_packages=(wine wine64 wine32:i386)

report=${IZ_DEPS_REPORT:-/dev/null}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
log="$work/apt.log"
pin="$work/preferences"
indexes_updated=no
failed_suites=()
failures=()

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

# Records a package that could not be installed, with apt's reason.
fail() {  # package, reason
    failures+=("$1: $2")
    printf '%s\t%s\n' "$1" "$2" >>"$report"
}

# The lines of apt's last output that say why: the first unmet dependency and
# the last error, on one line.
apt_reason() {
    local depends error
    depends=$(grep -m 1 -E '^ +[^ ]+ : (Pre)?Depends:' "$log" | sed 's/^ *//; s/  */ /g')
    error=$(grep -E '^E: ' "$log" | tail -n 1)
    printf '%s' "${depends:+$depends; }${error:-apt-get failed without a reason}"
}

# apt-get update, tried three times; indexes that still fail are named and
# left out, and the suites they belong to remembered.
update_indexes() {
    local attempt
    indexes_updated=yes
    for attempt in 1 2 3; do
        apt-get update -q 2>&1 | tee "$log" && { failed_suites=(); return; }
        [ "$attempt" -eq 3 ] || sleep 10
    done
    mapfile -t failed_suites < <(sed -n 's|^E: Failed to fetch [^ ]*/dists/\([^/]*\)/.*|\1|p' "$log" |
        sort -u)
    local line
    while IFS= read -r line; do
        echo "package index not updated, going on without it: $line"
        printf 'index\t%s\n' "$line" >>"$report"
    done < <(sed -n 's/^E: Failed to fetch \([^ ]*\)  *\(.*\)$/\1: \2/p' "$log")
}

apt_install() {  # apt-get arguments...
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@" 2>&1 |
        tee "$log"
}

install_packages() {  # packages...
    [ "$indexes_updated" = yes ] || update_indexes
    echo "Installing: $*"
    apt_install "$@" && return
    # Which of them cannot be installed, and why.
    local package
    for package in "$@"; do
        installed "$package" || apt_install "$package" || fail "$package" "$(apt_reason)"
    done
}

# A Multi-Arch "same" library must have one version in both architectures.
# When a suite's index failed for i386 only, apt takes the native library from
# that suite and finds no i386 twin: for this installation the failed suites
# are set aside, and a native library already installed from one of them is
# taken back to the version both architectures have (at most three rounds).
install_wine32_aligned() {
    local suite aligned=() round dependency twin native
    native=$(dpkg --print-architecture)
    : >"$pin"
    for suite in "${failed_suites[@]}"; do
        printf 'Package: *\nPin: release n=%s\nPin-Priority: 100\n\n' "$suite" >>"$pin"
    done
    for round in 1 2 3; do
        apt_install --allow-downgrades -o Dir::Etc::Preferences="$pin" \
            "${wine32_packages[@]}" "${aligned[@]}" && return
        local before=${#aligned[@]}
        for dependency in $(sed -n 's/.*Depends: \([^ :]*\):i386 .*/\1/p' "$log" | sort -u); do
            twin=$(apt-cache -o Dir::Etc::Preferences="$pin" policy "$dependency:i386" |
                sed -n 's/^ *Candidate: //p')
            if [ -n "$twin" ] && [ "$twin" != "(none)" ] && installed "$dependency:$native" &&
                [ "$(dpkg-query -W -f='${Version}' "$dependency:$native")" != "$twin" ] &&
                apt-cache show "$dependency:$native=$twin" >/dev/null 2>&1; then
                aligned+=("$dependency:$native=$twin")
            fi
        done
        [ "${#aligned[@]}" -gt "$before" ] || return 1
        echo "Taking back to the version both architectures have: ${aligned[*]}"
    done
    return 1
}

install_wine32() {
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
        indexes_updated=no
    fi
    [ "$indexes_updated" = yes ] || update_indexes
    echo "Installing: ${wine32_packages[*]}"
    apt_install "${wine32_packages[@]}" && return
    [ "${#failed_suites[@]}" -gt 0 ] && install_wine32_aligned && return
    fail wine32:i386 "$(apt_reason)"
}

missing=()
for package in "${packages[@]}"; do
    installed "$package" || missing+=("$package")
done
[ "${#missing[@]}" -eq 0 ] || install_packages "${missing[@]}"
if [ "$IZ_WINE32_RUNS" = yes ] && ! installed wine32:i386; then
    install_wine32
fi

# Japanese messages are tested with the ja_JP.UTF-8 locale, natively and under Wine.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
    grep -q '^en_US.UTF-8 UTF-8' /etc/locale.gen || echo 'en_US.UTF-8 UTF-8' >> /etc/locale.gen
    grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' >> /etc/locale.gen
    locale-gen >/dev/null || fail locales "locale-gen failed"
fi

status=0
for tool in cmake ninja g++ clang++ i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix \
            wine iconv setpriv ansible-playbook ansible-lint; do
    command -v "$tool" >/dev/null || { failures+=("tool $tool: missing after installation"); status=1; }
done
# The installed GoogleTest serves the Linux builds, its sources the MinGW builds.
[ -f /usr/src/googletest/CMakeLists.txt ] ||
    { failures+=("googletest: its sources are missing from /usr/src/googletest"); status=1; }

for failure in "${failures[@]}"; do
    echo "could not install $failure"
    case "$failure" in
        wine32:i386:*) ;;
        *) status=1 ;;
    esac
done
exit "$status"
