#!/usr/bin/env bash
# Boots the module's image under 32-bit UEFI firmware (OVMF, empty variable store) in QEMU and
# judges it by QEMU's own trace of every port access. The firmware's removable-media boot path
# runs the project's loader, \EFI\BOOT\BOOTIA32.EFI, which loads and starts \oemcom.te from the
# same FAT drive, prints both statuses on the firmware console and powers off. Checked: the
# module's port window against te-run's script for the probe value, the line setting QEMU's
# 16550 model decoded, the loader's statuses and the text on the 0x240 UART's serial line.
# With --flash there is no drive and no loader: fv-tool inserts the module into a copy of the
# code image, the PEI core runs it, and the boot must go on to the firmware's boot manager; the
# port window must then be the only accesses to the module's ports in the whole boot.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source "$here/outputs.sh"
source "$here/flash.sh"
root=$(cd "$here/../.." && pwd)

readonly FIRMWARE_DIR=/usr/share/OVMF

usage() {
  cat <<EOF
Usage: boot.sh [--probe 0xNN] [--image PATH] [--loader PATH] [--te-run PATH]
               [--firmware secboot|plain] [--flash] [--fv-tool PATH]
               [--timeout SECONDS] [--keep] [--help]
  --probe 0xNN       value port 0x259 reads (default 0xff, as with no device there)
  --image PATH       module image, placed as \\oemcom.te (default build/image/oemcom.te)
  --loader PATH      boot loader, placed as \\EFI\\BOOT\\BOOTIA32.EFI (default
                     build/image/bootia32.efi)
  --te-run PATH      te-run, which holds the port window to its script (default
                     build/tools/runner/te-run)
  --firmware KIND    secboot: OVMF32_CODE_4M.secboot.fd, Secure Boot build with SMM (default);
                     plain: OVMF32_CODE_4M.fd (Debian 13 and later)
  --flash            no drive, no loader: the module goes into a copy of the code image's PEI
                     volume (fv-tool insert) and the firmware's own dispatcher runs it; the
                     boot must reach the firmware's boot manager
  --fv-tool PATH     fv-tool, for --flash (default build/tools/fv/fv-tool)
  --timeout SECONDS  limit on the whole boot (default 60)
  --keep             keep the work folder (console, port window, raw outputs) and print its path
Default paths are in the build tree of this source tree. The verdict is one line, "PASS: ..."
or "FAIL: ...". Exits 0 when every check passes, 1 when one fails, 2 on bad usage or a missing
file.
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
fv_tool=$root/build/tools/fv/fv-tool
flash=0
firmware=secboot
timeout=60
keep=0
while (($# > 0)); do
  case $1 in
  --probe | --image | --loader | --te-run | --fv-tool | --firmware | --timeout)
    (($# >= 2)) || die "$1 needs a value"
    ;;&
  --probe) probe=$2 && shift 2 ;;
  --image) image=$2 && shift 2 ;;
  --loader) loader=$2 && shift 2 ;;
  --te-run) te_run=$2 && shift 2 ;;
  --fv-tool) fv_tool=$2 && shift 2 ;;
  --flash) flash=1 && shift ;;
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
if ((flash)); then
  [[ -f $fv_tool && -x $fv_tool ]] ||
    die "fv-tool not found: $fv_tool (build the 'fv-tool' target first, or pass --fv-tool PATH)"
else
  [[ -f $loader && -r $loader ]] ||
    die "loader not found: $loader (build the 'boot_loader' target first)"
fi
[[ -f $te_run && -x $te_run ]] ||
  die "te-run not found: $te_run (build the 'te-run' target first, or pass --te-run PATH)"
probe=$(printf '0x%02x' "$((probe))")

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
# the image where the loader looks for it. For --flash, the module's FFS file in the code image.
drive=()
if ((flash)); then
  if ! inserted=$("$fv_tool" ffs "$image" "$work/oemcom.ffs" 2>&1 &&
    "$fv_tool" insert "$code_fd" "$work/oemcom.ffs" "$work/code.fd" 2>&1); then
    echo "FAIL: fv-tool could not put the module into the code image: $(tail -n 1 <<<"$inserted")"
    exit 1
  fi
  echo "fv-tool:"
  sed 's/^/  /' <<<"$inserted"
  code_fd=$work/code.fd
else
  mkdir -p "$work/fat/EFI/BOOT"
  cp "$loader" "$work/fat/EFI/BOOT/BOOTIA32.EFI"
  cp "$image" "$work/fat/oemcom.te"
  drive=(-drive "if=virtio,format=raw,readonly=on,file=fat:$work/fat")
fi
cp "$vars_fd" "$work/vars.fd"

# The trace streams through a FIFO into the filter, which keeps only the module's window: the
# whole log, mostly the firmware's ACPI timer reads, is about 170 MB per boot with Debian 12's
# firmware and 15 MB with Debian 13's. QEMU blocks opening the FIFO until a reader has it open,
# so the filter starts first.
mkfifo "$work/trace.fifo"
awk -v markers="$MARKER_PORTS" -f "$here/trace_filter.awk" <"$work/trace.fifo" \
  >"$work/window.trace" &
filter=$!

machine=(-machine "q35,smm=on" -global "driver=cfi.pflash01,property=secure,value=on")
[[ $firmware == secboot ]] || machine=(-machine q35)
# Port 0x259 gets a device only to read the probe value; the Super I/O ports and the delay port
# stay unassigned, so their accesses reach the trace as accesses to the root I/O region. The
# drive is a read-only virtio disk, so QEMU writes nothing for it. The firmware's console goes
# to COM1 (0x3F8); -no-reboot turns a guest crash into a prompt exit. The CPU waits (-S) until
# the monitor has read the marker ports.
qemu=(qemu-system-i386 "${machine[@]}"
  -drive "if=pflash,format=raw,unit=0,readonly=on,file=$code_fd"
  -drive "if=pflash,format=raw,unit=1,file=$work/vars.fd"
  "${drive[@]}"
  -chardev "file,id=uart,path=$work/serial.bin"
  -device "isa-serial,iobase=0x240,irq=4,chardev=uart"
  -chardev "null,id=probe"
  -device "isa-debugcon,iobase=0x259,readback=$probe,chardev=probe"
  -serial "file:$work/console.log"
  -trace memory_region_ops_read -trace memory_region_ops_write
  -trace serial_update_parameters -D "$work/trace.fifo"
  -display none -monitor stdio -net none -no-reboot -S)
echo "qemu: ${qemu[*]}"

monitor=""
for port in $MARKER_PORTS; do
  monitor+="i /b $port"$'\n'
done
status=0
reached=0
stopped=0
if ((flash)); then
  # The firmware goes on to its boot manager and then waits for input: QEMU is stopped (SIGTERM,
  # which it takes as a shutdown) once the boot manager's first line is on the console, or when
  # the time is up; timeout's own limit is a backstop. Only a QEMU that failed by itself counts.
  timeout --kill-after=5 "$((timeout + 10))" "${qemu[@]}" <<<"${monitor}cont" \
    >"$work/monitor.log" 2>"$work/qemu.err" &
  qemu_pid=$!
  ! await_boot_manager "$work/console.log" "$qemu_pid" "$timeout" || reached=1
  kill -0 "$qemu_pid" 2>/dev/null || stopped=1
  kill -TERM "$qemu_pid" 2>/dev/null || true
  wait "$qemu_pid" || status=$?
  ((!reached && status != 143)) || status=0
else
  timeout --kill-after=5 "$timeout" "${qemu[@]}" <<<"${monitor}cont" >"$work/monitor.log" \
    2>"$work/qemu.err" || status=$?
fi
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

if ((flash)); then
  manager=$(boot_manager_line "$work/console.log")
  fault=
  if [[ -z $manager ]]; then
    fault="the firmware did not reach its boot manager"
    if ((stopped)); then
      fault+=": QEMU stopped first"
    else
      fault+=" within $timeout s"
    fi
  fi
  tail="boot manager reached"
  echo "firmware console: ${manager:-(no line from the boot manager)}"
else
  load=$(loader_status "$work/console.log" LoadImage)
  start=$(loader_status "$work/console.log" StartImage)
  fault=$(loader_fault "$load" "$start")
  tail=$start
  echo "firmware console: LoadImage ${load:-(nothing)}, StartImage ${start:-(nothing)}"
fi
serial=$(visible_bytes "$work/serial.bin")
setting=$(window_note "$work/window.trace" line)
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
boot_verdict "$report" "$setting" "$fault" "$tail" "$serial" \
  "$(window_note "$work/window.trace" error)"
