#!/usr/bin/env bash
# Installs what the builds and tests need on a Debian machine that has only g++, cmake and
# GoogleTest: the mingw-w64 cross compilers (posix threads), Wine, Xvfb, libjpeg, libyuv and
# TurboJPEG (the V4L2 build), GoogleTest, Mono's C# compiler with System.Windows.Forms (for the C#
# wrapper's test and the Windows Forms sample), pkg-config (the Linux package test) and unzip (the
# Windows release archive's check).
# Idempotent: with everything present it changes nothing and prints one line. Run as root.
set -euo pipefail

packages=(
    cmake
    libgtest-dev
    libjpeg-dev
    libyuv-dev
    libturbojpeg0-dev
    g++-mingw-w64-x86-64-posix
    g++-mingw-w64-i686-posix
    wine
    wine64
    xvfb
    mono-mcs
    libmono-system-windows-forms4.0-cil
    pkg-config
    unzip
)

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q '^install ok installed$'
}

missing=()
for package in "${packages[@]}"; do
    installed "$package" || missing+=("$package")
done

if [[ ${#missing[@]} -eq 0 ]]; then
    echo "install-deps: all present"
    exit 0
fi

if [[ $(id -u) -ne 0 ]]; then
    echo "install-deps: missing ${missing[*]}; run this script as root" >&2
    exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq -o Dpkg::Use-Pty=0 "${missing[@]}" >/dev/null
echo "install-deps: done"
