#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test the project.
# Idempotent: a second run checks and returns quickly.
set -euo pipefail

need=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

have_cmd cmake || need+=(cmake)
have_cmd g++ || need+=(g++)
have_pkg libgtest-dev || need+=(libgtest-dev)
have_pkg googletest || need+=(googletest)
have_cmd i686-w64-mingw32-g++-posix || need+=(g++-mingw-w64-i686-posix)
have_cmd i686-w64-mingw32-widl || need+=(mingw-w64-tools)
have_cmd i686-w64-mingw32-windres || need+=(binutils-mingw-w64-i686)
# The same DLLs for 64-bit clients (windres comes with the compiler's binutils).
have_cmd x86_64-w64-mingw32-g++-posix || need+=(g++-mingw-w64-x86-64-posix)
have_cmd x86_64-w64-mingw32-widl || need+=(mingw-w64-tools)
have_cmd x86_64-w64-mingw32-windres || need+=(binutils-mingw-w64-x86-64)
have_pkg libwine-dev || need+=(libwine-dev)
have_pkg wine32:i386 || need+=(wine32:i386)
have_pkg wine64 || need+=(wine64)
have_pkg wine || need+=(wine)
have_cmd Xvfb || need+=(xvfb)
have_cmd xvfb-run || need+=(xvfb)
have_cmd xauth || need+=(xauth)
have_cmd iconv || need+=(libc-bin)
# The MSI package (wixl; msibuild of msitools finishes it) and the guide as HTML (pandoc).
have_cmd wixl || need+=(wixl)
have_cmd msibuild || need+=(msitools)
have_cmd pandoc || need+=(pandoc)
# Fuzz targets: clang, and its run-time libraries (libFuzzer, the sanitizers), which
# clang only recommends.
have_cmd clang++ || need+=(clang)
have_pkg libclang-rt-dev || need+=(libclang-rt-dev)

if [ ${#need[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  export DEBIAN_FRONTEND=noninteractive
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  bash "$(dirname "$0")/apt-update.sh"
  if ! $SUDO apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null; then
    # A security suite caught half-way through a mirror sync can list a 64-bit library
    # newer than its 32-bit twin, and multiarch needs both at one version: take both from
    # the release itself.
    . /etc/os-release
    echo "setup: installing again with the packages of $VERSION_CODENAME itself" >&2
    $SUDO apt-get install -y -qq --no-install-recommends -t "$VERSION_CODENAME" "${need[@]}" >/dev/null
  fi
fi

# 32-bit Wine is an i386 program: on a machine that runs only 64-bit user code, run it
# through an emulator.
bash "$(dirname "$0")/i386-exec.sh"
