#!/usr/bin/env bash
# Boots the module's image under 32-bit UEFI firmware (OVMF, empty variable store) in QEMU and
# judges it by QEMU's own trace of every port access. The firmware's removable-media boot path
# runs the project's loader, \EFI\BOOT\BOOTIA32.EFI, which loads and starts \oemcom.te from the
# same FAT drive, prints both statuses on the firmware console and powers off. QEMU's 16550 and
# probe device sit where the build's board puts them (its board/board.env). Checked: the
# module's port window against te-run's script for the probe value, the line setting QEMU's
# 16550 model decoded against the board's, the loader's statuses and the module's text on the
# UART's serial line.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source "$here/outputs.sh"
source "$here/board_values.sh"
root=$(cd "$here/../.." && pwd)

readonly FIRMWARE_DIR=/usr/share/OVMF

usage() {
  cat <<EOF
Usage: boot.sh [--probe 0xNN] [--image PATH] [--loader PATH] [--te-run PATH] [--board PATH]
               [--firmware secboot|plain] [--timeout SECONDS] [--keep] [--help]
  --probe 0xNN       value the board's probe port reads (default 0xff, as with no device there)
  --image PATH       module image, placed as \\oemcom.te (default build/image/oemcom.te)
  --loader PATH      boot loader, placed as \\EFI\\BOOT\\BOOTIA32.EFI (default
                     build/image/bootia32.efi)
  --te-run PATH      te-run, which holds the port window to its script (default
                     build/tools/runner/te-run)
  --board PATH       the board the image, the loader and te-run are built for (default
                     build/board/board.env)
  --firmware KIND    secboot: OVMF32_CODE_4M.secboot.fd, Secure Boot build with SMM (default);
                     plain: OVMF32_CODE_4M.fd (Debian 13 and later)
  --timeout SECONDS  limit on the whole boot (default 60)
  --keep             keep the work folder (console, port window, raw outputs) and print its path
Default paths are in the build tree of this source tree; image, loader, te-run and board must
come from one build. The verdict is one line, "PASS: ..." or "FAIL: ...". Exits 0 when every
check passes, 1 when one fails, 2 on bad usage or a missing file.
EOF
}

die() {
  echo "boot.sh: $*" >&2
  exit 2
}

probe=0xff
image=$root/build/image/oemcom.te
loader=$root/build/image/bootia32.efi
te_run=$root/build/tools/runner/te-run
board=$root/build/board/board.env
firmware=secboot
timeout=60
keep=0
while (($# > 0)); do
  case $1 in
  --probe | --image | --loader | --te-run | --board | --firmware | --timeout)
    (($# >= 2)) || die "$1 needs a value"
    ;;&
  --probe) probe=$2 && shift 2 ;;
  --image) image=$2 && shift 2 ;;
  --loader) loader=$2 && shift 2 ;;
  --te-run) te_run=$2 && shift 2 ;;
  --board) board=$2 && shift 2 ;;
  --firmware) firmware=$2 && shift 2 ;;
  --timeout) timeout=$2 && shift 2 ;;
  --keep) keep=1 && shift ;;
  --help) usage && exit 0 ;;
  *) die "unknown argument '$1' (see --help)" ;;
  esac
done
[[ $probe =~ ^0[xX][0-9a-fA-F]{1,2}$ ]] || die "--probe wants a byte as 0xNN, not '$probe'"
[[ $timeout =~ ^[1-9][0-9]{0,3}$ ]] || die "--timeout wants 1 to 9999 seconds, not '$timeout'"
case $firmware in
secboot) code_fd=$FIRMWARE_DIR/OVMF32_CODE_4M.secboot.fd ;;
plain) code_fd=$FIRMWARE_DIR/OVMF32_CODE_4M.fd ;;
*) die "--firmware wants secboot or plain, not '$firmware'" ;;
esac
[[ -f $image && -r $image ]] || die "image not found: $image (build the 'image' target first)"
[[ -f $loader && -r $loader ]] ||
  die "loader not found: $loader (build the 'boot_loader' target first)"
[[ -f $te_run && -x $te_run ]] ||
  die "te-run not found: $te_run (build the 'te-run' target first, or pass --te-run PATH)"
read_board "$board" || die "$board_error"
probe=$(printf '0x%02x' "$((probe))")
markers=$(marker_ports "$board_probe_port" "$board_uart_base")
# QEMU's 16550 decodes the baud rate as 115200 / divisor, rounded down.
expected_setting="$((115200 / board_uart_divisor)) $board_uart_line"

"$here/../deps.sh" qemu-system-x86 ovmf-ia32
vars_fd=$FIRMWARE_DIR/OVMF32_VARS_4M.fd
for file in "$code_fd" "$vars_fd"; do
  [[ -f $file ]] ||
    die "firmware file missing: $file (Debian 12's ovmf-ia32 has only the secboot build)"
done

work=$(mktemp -d /tmp/oemcom-qemu.XXXXXX)
filter=
cleanup() {
  [[ -z $filter ]] || kill "$filter" 2>/dev/null || true
  if ((keep)); then
    echo "work folder kept: $work"
  else
    rm -rf "$work"
  fi
}
trap cleanup EXIT

# The drive's files: the loader where the firmware looks for a removable medium's boot program,
# the image where the loader looks for it.
mkdir -p "$work/fat/EFI/BOOT"
cp "$loader" "$work/fat/EFI/BOOT/BOOTIA32.EFI"
cp "$image" "$work/fat/oemcom.te"
cp "$vars_fd" "$work/vars.fd"

# The trace streams through a FIFO into the filter, which keeps only the module's window: the
# whole log, mostly the firmware's ACPI timer reads, is about 170 MB per boot with Debian 12's
# firmware and 15 MB with Debian 13's. QEMU blocks opening the FIFO until a reader has it open,
# so the filter starts first.
mkfifo "$work/trace.fifo"
awk -v probe="$board_probe_port" -v uart="$board_uart_base" -f "$here/trace_filter.awk" \
  <"$work/trace.fifo" >"$work/window.trace" &
filter=$!

machine=(-machine "q35,smm=on" -global "driver=cfi.pflash01,property=secure,value=on")
[[ $firmware == secboot ]] || machine=(-machine q35)
# The probe port gets a device only to read the probe value; the Super I/O ports and the delay
# port stay unassigned, so their accesses reach the trace as accesses to the root I/O region. The
# drive is a read-only virtio disk, so QEMU writes nothing for it. The firmware's console goes
# to COM1 (0x3F8); -no-reboot turns a guest crash into a prompt exit. The CPU waits (-S) until
# the monitor has read the marker ports.
qemu=(qemu-system-i386 "${machine[@]}"
  -drive "if=pflash,format=raw,unit=0,readonly=on,file=$code_fd"
  -drive "if=pflash,format=raw,unit=1,file=$work/vars.fd"
  -drive "if=virtio,format=raw,readonly=on,file=fat:$work/fat"
  -chardev "file,id=uart,path=$work/serial.bin"
  -device "isa-serial,iobase=$board_uart_base,irq=$board_uart_irq,chardev=uart"
  -chardev "null,id=probe"
  -device "isa-debugcon,iobase=$board_probe_port,readback=$probe,chardev=probe"
  -serial "file:$work/console.log"
  -trace memory_region_ops_read -trace memory_region_ops_write
  -trace serial_update_parameters -D "$work/trace.fifo"
  -display none -monitor stdio -net none -no-reboot -S)
echo "qemu: ${qemu[*]}"

monitor=""
for port in $markers; do
  monitor+="i /b $port"$'\n'
done
status=0
timeout --kill-after=5 "$timeout" "${qemu[@]}" <<<"${monitor}cont" >"$work/monitor.log" \
  2>"$work/qemu.err" || status=$?
# A QEMU that stopped before opening the FIFO leaves the filter waiting for a writer: opening
# the FIFO for reading and writing never blocks, and closing it gives the filter its end.
exec {release}<>"$work/trace.fifo"
exec {release}>&-
wait "$filter" || die "the trace filter failed (exit $?)"
filter=

if ((status == 124 || status == 137)); then
  echo "FAIL: QEMU did not power off within $timeout s"
  exit 1
elif ((status != 0)); then
  echo "FAIL: QEMU failed (exit $status): $(head -n 1 "$work/qemu.err")"
  exit 1
fi

load=$(loader_status "$work/console.log" LoadImage)
start=$(loader_status "$work/console.log" StartImage)
# The bytes the firmware itself sent to the UART before the module's window (its console, when
# it runs one there) are not the module's.
before=$(window_note "$work/window.trace" before)
tail -c +$((${before:-0} + 1)) "$work/serial.bin" >"$work/module.bin"
serial=$(visible_bytes "$work/module.bin")
setting=$(window_note "$work/window.trace" line)
echo "board $board_name: probe port $board_probe_port, UART $board_uart_base IRQ $board_uart_irq," \
  "$expected_setting"
echo "firmware console: LoadImage ${load:-(nothing)}, StartImage ${start:-(nothing)}"
((${before:-0} == 0)) || echo "firmware bytes on the UART before the module (left out): $before"
echo "serial line: \"$serial\""
echo "QEMU's 16550 after the last LCR write: $(describe_setting "$setting")"
echo "accesses to other devices inside the window (dropped):" \
  "$(window_note "$work/window.trace" dropped)"
echo "port window (te-run --probe $probe --check-trace):"
checked=0
report=$("$te_run" --probe "$probe" --check-trace "$work/window.trace" 2>&1) || checked=$?
sed 's/^/  /' <<<"$report"
if ((checked == 2)); then
  echo "FAIL: te-run could not check the port window: $(head -n 1 <<<"$report")"
  exit 1
fi
boot_verdict "$report" "$setting" "$load" "$start" "$serial" \
  "$(window_note "$work/window.trace" error)" "$expected_setting"
