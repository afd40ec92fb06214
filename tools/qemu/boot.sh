#!/usr/bin/env bash
# Boots the module's image under 32-bit UEFI firmware (OVMF, Secure Boot build, empty variable
# store) in QEMU and checks what it did on the wire: the text on the serial line of the UART at
# 0x240, the Super I/O index/data and delay writes, and the shell's report of the image load.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source "$here/outputs.sh"

readonly CODE_FD=/usr/share/OVMF/OVMF32_CODE_4M.secboot.fd
readonly VARS_FD=/usr/share/OVMF/OVMF32_VARS_4M.fd

usage() {
  cat <<EOF
Usage: boot.sh [--probe 0xNN] [--image PATH] [--timeout SECONDS] [--keep] [--help]
  --probe 0xNN       value port 0x259 reads (default 0xff: no device there)
  --image PATH       image the shell loads (default build/image/oemcom.te in the source tree)
  --timeout SECONDS  limit on the whole boot (default 60)
  --keep             keep the work folder (firmware console, raw outputs) and print its path
Exits 0 when the serial line, the Super I/O writes and the load report are all as expected.
EOF
}

die() {
  echo "boot.sh: $*" >&2
  exit 2
}

probe=0xff
image=$(cd "$here/../.." && pwd)/build/image/oemcom.te
timeout=60
keep=0
while (($# > 0)); do
  case $1 in
  --probe | --image | --timeout) (($# >= 2)) || die "$1 needs a value" ;;&
  --probe) probe=$2 && shift 2 ;;
  --image) image=$2 && shift 2 ;;
  --timeout) timeout=$2 && shift 2 ;;
  --keep) keep=1 && shift ;;
  --help) usage && exit 0 ;;
  *) die "unknown argument '$1' (see --help)" ;;
  esac
done
[[ $probe =~ ^0[xX][0-9a-fA-F]{1,2}$ ]] || die "--probe wants a byte as 0xNN, not '$probe'"
[[ $timeout =~ ^[1-9][0-9]{0,3}$ ]] || die "--timeout wants 1 to 9999 seconds, not '$timeout'"
[[ -f $image && -r $image ]] || die "image not found: $image (build the 'image' target first)"
probe=$(printf '0x%02x' "$((probe))")

"$here/../deps.sh" qemu-system-x86 ovmf-ia32
for file in "$CODE_FD" "$VARS_FD"; do
  [[ -f $file ]] || die "firmware file missing: $file"
done

work=$(mktemp -d /tmp/oemcom-qemu.XXXXXX)
if ((keep)); then
  trap 'echo "work folder kept: $work"' EXIT
else
  trap 'rm -rf "$work"' EXIT
fi

# The shell runs startup.nsh (CRLF lines) after its countdown: load the image, power off.
name=$(basename "$image")
mkdir "$work/fat"
cp "$image" "$work/fat/$name"
printf 'fs0:\r\nload %s\r\nreset -s\r\n' "$name" >"$work/fat/startup.nsh"
cp "$VARS_FD" "$work/vars.fd"

# Ports 0x4E, 0x4F and 0xED share one file in write order; they read 0xFF like an undriven
# bus. Port 0x259 gets a device only when it must read something other than 0xFF. The
# firmware's console goes to COM1 (0x3F8); -no-reboot turns a guest crash into a prompt exit.
probe_device=()
if ((probe != 0xff)); then
  probe_device=(-device "isa-debugcon,iobase=0x259,readback=$probe,chardev=sio")
fi
qemu=(qemu-system-i386 -machine "q35,smm=on"
  -global "driver=cfi.pflash01,property=secure,value=on"
  -drive "if=pflash,format=raw,unit=0,readonly=on,file=$CODE_FD"
  -drive "if=pflash,format=raw,unit=1,file=$work/vars.fd"
  -drive "file=fat:rw:$work/fat,format=raw"
  -chardev "file,id=uart,path=$work/serial.bin"
  -device "isa-serial,iobase=0x240,irq=4,chardev=uart"
  -chardev "file,id=sio,path=$work/sio.bin,mux=on"
  -device "isa-debugcon,iobase=0x4e,readback=0xff,chardev=sio"
  -device "isa-debugcon,iobase=0x4f,readback=0xff,chardev=sio"
  -device "isa-debugcon,iobase=0xed,readback=0xff,chardev=sio"
  "${probe_device[@]}"
  -serial "file:$work/console.log"
  -display none -monitor none -net none -no-reboot)
echo "qemu: ${qemu[*]}"

status=0
timeout --kill-after=5 "$timeout" "${qemu[@]}" 2>"$work/qemu.err" || status=$?
if ((status == 124 || status == 137)); then
  echo "boot.sh: QEMU did not power off within $timeout s" >&2
  exit 1
elif ((status != 0)); then
  echo "boot.sh: QEMU failed (exit $status): $(head -n 1 "$work/qemu.err")" >&2
  exit 1
fi

serial=$(visible_bytes "$work/serial.bin")
sio=$(hex_bytes "$work/sio.bin")
reply=$(load_reply "$work/console.log" "$name")
echo "serial line: \"$serial\""
echo "Super I/O and delay writes ($(wc -w <<<"$sio") bytes, probe $probe):"
describe_sio "$sio"
echo "firmware: ${reply:-(no reply to \"load $name\")}"

faults=()
[[ $serial == "$SERIAL_BANNER" ]] || faults+=("serial line is not \"$SERIAL_BANNER\"")
[[ $sio == "$(expected_sio "$probe")" ]] ||
  faults+=("Super I/O writes are not [$(expected_sio "$probe")]")
load_succeeded "$reply" || faults+=("the shell did not report a successful load of $name")
if ((${#faults[@]} > 0)); then
  printf 'boot.sh: FAIL: %s\n' "${faults[@]}" >&2
  exit 1
fi
echo "PASS"
