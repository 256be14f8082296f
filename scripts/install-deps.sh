#!/usr/bin/env bash
# Installs what the builds and tests need on a Debian machine that has only g++, cmake and
# GoogleTest: the mingw-w64 cross compilers (posix threads), Wine (and its 32-bit loader where the
# i386 packages can be had), Xvfb, libjpeg, libyuv and
# TurboJPEG (the V4L2 build), GoogleTest, Mono's C# compiler with System.Windows.Forms (for the C#
# wrapper's test and the Windows Forms sample), pkg-config (the Linux package test) and unzip (the
# Windows release archive's check); and, where apt has it, OpenCV's capture (the V4L2 benchmark's
# peer, built beside it).
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

# The 32-bit Wine loader runs the i686 DLLs' host tests. It comes from Debian's i386 architecture,
# which a mirror may serve out of step with the amd64 one: then it is left out (and the architecture
# removed again, so apt stays usable), and the Windows tests report those runs as skipped.
install_wine32() {
    installed wine32:i386 && return 0
    [[ $(id -u) -eq 0 ]] || return 0
    export DEBIAN_FRONTEND=noninteractive
    local added=
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
        added=1
    fi
    if apt-get update -qq && apt-get install -y -qq -o Dpkg::Use-Pty=0 wine32:i386 >/dev/null; then
        echo "install-deps: installed wine32:i386"
        return 0
    fi
    echo "install-deps: wine32:i386 cannot be installed here; the 32-bit Windows runs will be skipped" >&2
    if [[ -n $added ]]; then
        dpkg --remove-architecture i386 || true
        apt-get update -qq || true
    fi
}

# OpenCV only builds the V4L2 benchmark's peer; without it that row says so.
install_opencv() {
    installed libopencv-videoio-dev && return 0
    [[ $(id -u) -eq 0 ]] || return 0
    if DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends -o Dpkg::Use-Pty=0 \
        libopencv-videoio-dev >/dev/null; then
        echo "install-deps: installed libopencv-videoio-dev"
    else
        echo "install-deps: libopencv-videoio-dev cannot be installed here; the OpenCV bench row is skipped" >&2
    fi
}

if [[ ${#missing[@]} -eq 0 ]]; then
    install_wine32
    install_opencv
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
install_wine32
install_opencv
echo "install-deps: done"
