#!/usr/bin/env bash
# Builds the TE image and runs it three times: on an emulated CPU against the platform model
# (te-run: every port access, the serial text, the result, instructions and stack), booted
# under 32-bit UEFI firmware in QEMU with a 16550 at 0x240 (tools/qemu/boot.sh), then from the
# firmware's flash image, where the firmware's own PEI dispatcher runs it (boot.sh --flash).
# Usage: ./run.sh [--probe 0xNN] [--busy N] [--help]
set -euo pipefail
cd "$(dirname "$0")"

probe=0xff
busy=0
while (($# > 0)); do
  case $1 in
  --probe | --busy) (($# >= 2)) || { echo "run.sh: $1 needs a value" >&2; exit 2; } ;;&
  --probe) probe=$2 && shift 2 ;;
  --busy) busy=$2 && shift 2 ;;
  --help | -h)
    echo "Usage: ./run.sh [--probe 0xNN] [--busy N]"
    echo "  --probe 0xNN  value port 0x259 reads (default 0xff: Super I/O left alone)"
    echo "  --busy N      LSR polls reporting busy before each byte, emulated CPU only (default 0)"
    exit 0 ;;
  *) echo "run.sh: unknown argument '$1' (see --help)" >&2; exit 2 ;;
  esac
done

tools/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
if ! log=$(cmake --build build --target image boot_loader te-run fv-tool 2>&1); then
  echo "$log" >&2
  exit 1
fi
grep -E 'oemcom.te: ' <<<"$log" || true

echo "== emulated CPU (te-run) =="
build/tools/runner/te-run --probe "$probe" --busy "$busy" build/image/oemcom.te
echo
echo "== 32-bit UEFI firmware in QEMU (boot.sh) =="
tools/qemu/boot.sh --probe "$probe" --image build/image/oemcom.te
echo
echo "== the firmware's own dispatcher, from the flash image (boot.sh --flash) =="
tools/qemu/boot.sh --flash --probe "$probe" --image build/image/oemcom.te
