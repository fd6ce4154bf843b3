#!/usr/bin/env bash
# Installs what building and testing MORVIT needs on Debian 12: the native toolchain and GoogleTest, for the
# companion matplotlib (its charts), the build front end and flit_core (its wheel) and venv (the test that
# installs the wheel), the mingw-w64 i686 cross compiler, Wine with its 32-bit side, Xvfb, the 32-bit X client
# libraries that Wine's 32-bit side needs to open a display when installed without recommends, the style
# checkers of scripts/lint.sh, and what scripts/build-i486-runtime.sh needs to rebuild the cross compiler's
# runtime from Debian's sources (dpkg-source, autotools for the CRT, GCC's build prerequisites). That script
# fetches the two source packages itself, with deb-src entries in a private apt state: the system's apt
# sources stay as they are.
# Idempotent: when everything is present it only checks and returns.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev python3
  python3-matplotlib python3-build flit python3-venv
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  wine wine32:i386 xvfb
  libx11-6:i386 libxext6:i386 libxrender1:i386 libxrandr2:i386 libxi6:i386 libxcursor1:i386
  libxfixes3:i386 libxcomposite1:i386 libxinerama1:i386 libfreetype6:i386 libfontconfig1:i386
  dpkg-dev make patch xz-utils autoconf automake libgmp-dev libmpfr-dev libmpc-dev zlib1g-dev
  clang-format clang-tidy flake8 shellcheck
)

sudo_cmd=()
if [ "$(id -u)" != 0 ]; then sudo_cmd=(sudo); fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do
  # dpkg-query reports "install ok installed" only for a fully installed package.
  if [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" != "install ok installed" ]; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -eq 0 ] && [ -z "${need_update:-}" ]; then
  exit 0
fi

if [ "${#missing[@]}" -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}" >&2
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
