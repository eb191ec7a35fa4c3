#!/usr/bin/env bash
# Installs whatever the build, the tests and the demo need and this Debian machine lacks.
# Nothing is installed twice; apt is only asked when something is missing.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

packages=(cmake make g++ googletest
          g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools libwine-dev
          wine wine64 fonts-wine xvfb xauth x11-utils imagemagick mencoder libpng-dev
          nsis)

# 32-bit Windows programs need the 32-bit Wine loader, and that needs a kernel that runs 32-bit
# code. Some virtual machines run 64-bit code only; there the 64-bit build is what Wine tests.
runs_32bit_code() {
    command -v as >/dev/null && command -v ld >/dev/null || return 1
    local dir rc
    dir=$(mktemp -d)
    printf '.globl _start\n_start:\n movl $1,%%eax\n xorl %%ebx,%%ebx\n int $0x80\n' >"$dir/p.s"
    rc=1
    if as --32 "$dir/p.s" -o "$dir/p.o" 2>/dev/null && ld -m elf_i386 "$dir/p.o" -o "$dir/p" 2>/dev/null \
        && "$dir/p" 2>/dev/null; then
        rc=0
    fi
    rm -rf "$dir"
    return $rc
}

installed() { [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" = "install ok installed" ]; }

sudo_=""
[ "$(id -u)" -eq 0 ] || sudo_=sudo

if runs_32bit_code; then
    packages+=(wine32:i386)
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo_ dpkg --add-architecture i386
        need_update=1
    fi
fi

missing=()
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ] || [ -n "${need_update:-}" ]; then
    echo "setup: installing ${missing[*]}"
    $sudo_ apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_ apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
