#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the runs need, when any is missing.
# Usage: tools/deps.sh [package...]   (default: everything the test command needs)
set -euo pipefail

packages=("$@")
if [ ${#packages[@]} -eq 0 ]; then
  # By role, with Debian's default LLVM (14 on Debian 12, 19 on Debian 13): compilers and the
  # IA-32 linker, the build, the test and benchmark libraries, the sanitizer and libFuzzer
  # runtime of that clang, the emulator library, the LZMA library, QEMU with 32-bit and x64
  # OVMF, a second firmware image reader (UEFIExtract), the static checks, the debugger and
  # llvm-symbolizer (the llvm package) for source places, the man pages' generator and git
  # (tools/out_of_tree.sh lists the tree's files with it).
  packages=(clang lld cmake ninja-build pkg-config libgtest-dev libbenchmark-dev
    libclang-rt-dev libunicorn-dev liblzma-dev qemu-system-x86 ovmf-ia32 ovmf uefitool-cli
    clang-format clang-tidy cppcheck gdb llvm help2man git)
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

command="apt-get update && apt-get install -y --no-install-recommends ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "missing Debian packages: ${missing[*]}" >&2
  echo "install them as root with: $command" >&2
  exit 1
fi
echo "installing: ${missing[*]}" >&2
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
