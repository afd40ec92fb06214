#!/usr/bin/env bash
# Builds the TE image and runs it three times: on an emulated CPU against the platform model
# (te-run: every port access, the serial text, the result, instructions and stack), booted
# under 32-bit UEFI firmware in QEMU with a 16550 where the board puts it (tools/qemu/boot.sh),
# then from the firmware's flash image, where the firmware's own PEI dispatcher runs it first
# among the PEIMs, in place (boot.sh --flash --early). The board is build/'s (cmake -DOEMCOM_BOARD=PATH; boards/reference.board
# unless chosen).
# Usage: ./run.sh [--probe VALUE] [--busy N] [--help]
set -euo pipefail
cd "$(dirname "$0")"
source tools/cli.sh

usage="usage: ./run.sh [--probe VALUE] [--busy N] [--help]"
# One line and exit status 2 for bad usage, before anything is installed or built.
refuse() {
  echo "run.sh: $* ($usage)" >&2
  exit 2
}
probe=0xff
busy=0
while (($# > 0)); do
  case $1 in
  --probe | --busy) (($# >= 2)) || refuse "$1 needs a value" ;;&
  --probe) probe=$2 && shift 2 ;;
  --busy) busy=$2 && shift 2 ;;
  --help | -h)
    echo "$usage"
    echo "  --probe VALUE  what the board's probe port reads, 0 to 0xff (default 0xff: Super I/O"
    echo "                 left alone)"
    echo "  --busy N       LSR polls reporting busy before each byte, 0 to $MAX_BUSY_POLLS;"
    echo "                 emulated CPU only (default 0)"
    echo "Numbers are decimal, 0x hexadecimal or 0 octal, as te-run takes them."
    exit 0
    ;;
  *) refuse "unknown argument '$1'" ;;
  esac
done
number_value "$probe" 255 >/dev/null || refuse "--probe needs a number up to 255, not '$probe'"
number_value "$busy" "$MAX_BUSY_POLLS" >/dev/null ||
  refuse "--busy needs a number up to $MAX_BUSY_POLLS, not '$busy'"

tools/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
if ! log=$(cmake --build build --target image boot_loader te-run te-tool fv-tool 2>&1); then
  echo "$log" >&2
  exit 1
fi
grep -E 'oemcom.te: ' <<<"$log" || true

echo "== emulated CPU (te-run) =="
build/tools/runner/te-run --probe "$probe" --busy "$busy" build/image/oemcom.te
echo
echo "== 32-bit UEFI firmware in QEMU (boot.sh) =="
tools/qemu/boot.sh --build build --probe "$probe"
echo
echo "== the firmware's own dispatcher, from the flash image (boot.sh --flash --early) =="
tools/qemu/boot.sh --build build --flash --early --probe "$probe"
