#!/usr/bin/env bash
# Boots the module's image under 32-bit UEFI firmware (OVMF, empty variable store) in QEMU and
# judges it by QEMU's own trace of every port access. The firmware's removable-media boot path
# runs the project's loader, \EFI\BOOT\BOOTIA32.EFI, which loads and starts \oemcom.te from the
# same FAT drive, prints both statuses on the firmware console and powers off. QEMU's 16550 and
# probe device sit where the build's board puts them (its board/board.env). Checked: the
# module's port window against te-run's script for the probe value, the line setting QEMU's
# 16550 model decoded against the board's, the loader's statuses and the module's text on the
# UART's serial line. With --flash there is no drive and no loader: fv-tool inserts the module
# into a copy of the code image, the PEI core runs it, and the boot must go on to the firmware's
# boot manager; the port window must then be the only accesses to the module's ports in the
# whole boot. With --early the module is first in the PEI apriori file: its window must come
# before the platform PEIM's first fw_cfg access, and its code must run where fv-tool rebased it.
set -euo pipefail

here=$(dirname "$(readlink -f "$0")")
# Installed as PREFIX/bin/oemcom-boot, it finds its helpers and its paths file in
# PREFIX/libexec/oemcom/qemu (boot_paths.sh).
paths_file=
if [[ ! -f $here/outputs.sh ]]; then
  here=$(cd "$here/../libexec/oemcom/qemu" && pwd)
  paths_file=$here/oemcom-paths.env
fi
source "$here/boot_paths.sh"
source "$here/outputs.sh"
source "$here/flash.sh"
source "$here/firmware.sh"
source "$here/placement.sh"
source "$here/board_values.sh"
source "$here/gdb.sh"
source "$here/../cli.sh"

usage() {
  cat <<EOF
Usage: ${0##*/} [--build DIR] [--probe VALUE] [--image PATH] [--loader PATH] [--te-run PATH]
               [--te-tool PATH] [--board PATH] [--firmware secboot|plain|FILE] [--flash]
               [--early] [--fv-tool PATH] [--timeout SECONDS] [--keep]
               [--gdb | --gdb-batch FILE] [--version] [--help]
  --build DIR        the build folder to take the files below from (its oemcom-paths.env);
                     the installed oemcom-boot takes them from its installation
  --probe VALUE      value the board's probe port reads, 0 to 0xff as te-run takes it
                     (default 0xff, as with no device there)
  --image PATH       module image, placed as \\oemcom.te (default: the build's);
                     it must pass te-tool check first
  --loader PATH      boot loader, placed as \\EFI\\BOOT\\BOOTIA32.EFI (default: the
                     build's)
  --te-run PATH      te-run, which holds the port window to its script (default: the
                     build's)
  --te-tool PATH     te-tool, which checks the image first (default: the build's)
  --board PATH       the board the image, the loader and te-run are built for (default: the
                     build's board/board.env)
  --firmware KIND    secboot: OVMF32_CODE_4M.secboot.fd, Secure Boot build with SMM (default);
                     plain: OVMF32_CODE_4M.fd (Debian 13 and later); or the path of any OVMF
                     code image, its variable store beside it (OVMF_CODE_4M.fd and
                     OVMF_VARS_4M.fd): QEMU for the machine of its DXE core, with SMM for a
                     Secure Boot build; the loader boot needs a 32-bit one
  --flash            no drive, no loader: the module goes into a copy of the code image's PEI
                     volume (fv-tool insert) and the firmware's own dispatcher runs it; the
                     boot must reach the firmware's boot manager
  --early            with --flash: the module first in the PEI apriori file (fv-tool insert
                     --early); it must run before the platform PEIM and in place
  --fv-tool PATH     fv-tool, for --flash (default: the build's)
  --timeout SECONDS  limit on the whole boot (default 60)
  --keep             keep the work folder (console, port window, raw outputs) and print its path
  --gdb              start QEMU stopped with its gdb stub on a free local port, and print the
                     gdb command that loads the debug twin's symbols (IMAGE's .te replaced by
                     .debug.efi) where the module runs and stops at OemInitComEntry
  --gdb-batch FILE   the same, and run gdb in batch mode on that command file and then FILE
  --version          print the version
Image, loader, te-run and board must come from one build. The work folder is made in
\$TMPDIR (default /tmp). The verdict is one line, "PASS: ..." or "FAIL: ...". Exits 0 when
every check passes, 1 when one fails (or the image breaks a rule), 2 on bad usage or a
missing file, and 130, 143 or 129 when stopped by SIGINT, SIGTERM or SIGHUP, after stopping
QEMU.
EOF
}

die() {
  echo "boot.sh: $*" >&2
  exit 2
}

probe=0xff
image='' loader='' te_run='' te_tool='' board='' fv_tool=''
flash=0
early=0
firmware=secboot
timeout=60
keep=0
while (($# > 0)); do
  case $1 in
  --build | --probe | --image | --loader | --te-run | --te-tool | --board | --fv-tool | \
    --firmware | --timeout | --gdb-batch)
    (($# >= 2)) || die "$1 needs a value"
    ;;&
  --build) paths_file=$2/oemcom-paths.env && shift 2 ;;
  --probe) probe=$2 && shift 2 ;;
  --image) image=$2 && shift 2 ;;
  --loader) loader=$2 && shift 2 ;;
  --te-run) te_run=$2 && shift 2 ;;
  --te-tool) te_tool=$2 && shift 2 ;;
  --board) board=$2 && shift 2 ;;
  --fv-tool) fv_tool=$2 && shift 2 ;;
  --flash) flash=1 && shift ;;
  --early) early=1 && shift ;;
  --firmware) firmware=$2 && shift 2 ;;
  --timeout) timeout=$2 && shift 2 ;;
  --keep) keep=1 && shift ;;
  --gdb) gdb_mode=interactive && shift ;;
  --gdb-batch) gdb_mode=batch gdb_script=$2 && shift 2 ;;
  --help)
    usage
    exit 0
    ;;
  --version)
    boot_version "$paths_file"
    exit 0
    ;;
  *) die "unknown argument '$1' (see --help)" ;;
  esac
done
boot_default_paths "$paths_file" || die "$paths_error"
probe_value=$(number_value "$probe" 255) || die "--probe needs a number up to 255, not '$probe'"
[[ $timeout =~ ^[1-9][0-9]{0,3}$ ]] || die "--timeout wants 1 to 9999 seconds, not '$timeout'"
((flash || !early)) || die "--early needs --flash"
code_fd=$(firmware_code "$firmware")
[[ $firmware == */* || $code_fd != "$firmware" ]] ||
  die "--firmware wants secboot, plain or a code image's path, not '$firmware'"
# require_file WHAT PATH HINT [-x]: PATH names a readable regular file (executable with -x).
require_file() {
  [[ -e $2 ]] || die "$1 not found: $2 ($3)"
  [[ -f $2 ]] || die "$1 is not a regular file: $2"
  if [[ ${4:-} == -x ]]; then
    [[ -x $2 ]] || die "$1 is not executable: $2"
  else
    [[ -r $2 ]] || die "$1 is not readable: $2"
  fi
}
# require_firmware: the code image and its variable store exist; sets vars_fd.
require_firmware() {
  [[ -f $code_fd ]] ||
    die "firmware file missing: $code_fd (Debian 12's ovmf-ia32 has only the secboot build)"
  vars_fd=$(firmware_vars "$code_fd")
  [[ -n $vars_fd ]] || die "no variable store beside $code_fd (its name with VARS for CODE)"
}
# A code image named by path must be there before anything else is done; the named builds
# come with the packages installed below.
[[ $firmware != */* ]] || require_firmware
require_file image "$image" "build the 'image' target first"
if ((flash)) || [[ $firmware == */* ]]; then
  require_file fv-tool "$fv_tool" "build the 'fv-tool' target first, or pass --fv-tool PATH" -x
fi
((flash)) || require_file loader "$loader" "build the 'boot_loader' target first"
require_file te-run "$te_run" "build the 'te-run' target first, or pass --te-run PATH" -x
require_file te-tool "$te_tool" "build the 'te-tool' target first, or pass --te-tool PATH" -x
read_board "$board" || die "$board_error"
gdb_prepare
# Debian's OVMF drives the 16550s at 0x3F8 and 0x2F8 itself: a module UART there carries the
# firmware's own bytes before the loader takes it over, and after the PEI phase for --flash.
shared_uart=0
[[ $board_uart_base != 0x3f8 && $board_uart_base != 0x2f8 ]] || shared_uart=1
((!flash || !shared_uart)) ||
  die "--flash needs a UART the firmware leaves alone, not $board_uart_base (its console's)"
probe=$(printf '0x%02x' "$probe_value")
markers=$(marker_ports "$board_probe_port" "$board_uart_base")
# QEMU's 16550 decodes the baud rate as 115200 / divisor, rounded down.
expected_setting="$((115200 / board_uart_divisor)) $board_uart_line"
if ! refusal=$("$te_tool" check "$image" 2>&1); then
  echo "FAIL: the image is refused: $(head -n 1 <<<"$refusal")"
  exit 1
fi

"$here/../deps.sh" qemu-system-x86 ovmf-ia32 ovmf
require_firmware
dxe_machine=0x14c # the 32-bit builds by name
[[ $firmware != */* ]] || dxe_machine=$(dxe_core_machine "$code_fd" "$fv_tool")
qemu_command=$(qemu_for_machine "$dxe_machine")
[[ -n $qemu_command ]] ||
  die "no DXE core of a known machine in $code_fd (fv-tool list names its image's machine)"
read -ra machine <<<"$(firmware_machine_options "$code_fd")"
# qemu-system-x86_64's gdb stub always describes the CPU as x86-64: gdb would read the 32-bit
# module's frames and arguments with 64-bit registers.
[[ -z $gdb_mode || $dxe_machine == 0x14c ]] ||
  die "gdb cannot debug the 32-bit module through qemu-system-x86_64, which $code_fd needs:" \
    "use a 32-bit OVMF build"
[[ $flash == 1 || $dxe_machine == 0x14c ]] ||
  die "the loader is an IA-32 application; $code_fd boots x64 ($dxe_machine): use --flash"

work=$(mktemp -d "${TMPDIR:-/tmp}/oemcom-qemu.XXXXXX")
filter=
runner=
# QEMU runs under timeout, which leads a process group of its own: stopping that group stops
# both. The trace filter is a plain child.
stop_children() {
  [[ -z $runner ]] || kill -TERM -- "-$runner" "$runner" 2>/dev/null || true
  [[ -z $filter ]] || kill "$filter" 2>/dev/null || true
  local tries
  for ((tries = 0; tries < 10; tries++)); do # up to 1 s for QEMU to end on SIGTERM
    { [[ -n $runner ]] && kill -0 -- "-$runner" 2>/dev/null; } || break
    sleep 0.1
  done
  [[ -z $runner ]] || kill -KILL -- "-$runner" "$runner" 2>/dev/null || true
  wait 2>/dev/null || true
  runner=''
  filter=
}
cleanup() {
  stop_children
  if ((keep)); then
    echo "work folder kept: $work"
  else
    rm -rf "$work"
  fi
}
trap cleanup EXIT
# A signal stops QEMU and the filter at once; the exit status is 128 plus the signal's number.
for signal in INT TERM HUP; do
  # shellcheck disable=SC2064 # the signal is fixed when the trap is set
  trap "stop_children; echo 'boot.sh: stopped by SIG$signal' >&2; exit \$((128 + \$(kill -l $signal)))" \
    "$signal"
done

# The drive's files: the loader where the firmware looks for a removable medium's boot program,
# the image where the loader looks for it. For --flash, the module's FFS file in the code image.
drive=()
exec_log=()
if ((flash)); then
  placement=()
  ((!early)) || placement=(--early)
  if ! inserted=$("$fv_tool" ffs "$image" "$work/oemcom.ffs" 2>&1 &&
    "$fv_tool" insert "$code_fd" "$work/oemcom.ffs" "$work/code.fd" "${placement[@]}" 2>&1); then
    echo "FAIL: fv-tool could not put the module into the code image: $(tail -n 1 <<<"$inserted")"
    exit 1
  fi
  echo "fv-tool:"
  sed 's/^/  /' <<<"$inserted"
  code_fd=$work/code.fd
  # QEMU logs each translation block that runs inside the module's rebased code: any at all
  # shows that the module ran where fv-tool put it rather than as a copy in memory.
  base=$(inserted_base "$inserted")
  code_range=$(module_code_range "$image" "$te_tool" "$base") ||
    die "no TE image base in fv-tool's report, or no .text in $image"
  exec_log=(-d exec -dfilter "$code_range")
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
awk -v probe="$board_probe_port" -v uart="$board_uart_base" -v shared_uart="$shared_uart" \
  -v ports="$board_sio_index_port $board_sio_data_port $board_delay_port" \
  -f "$here/trace_filter.awk" <"$work/trace.fifo" >"$work/window.trace" &
filter=$!

# The probe port gets a device only to read the probe value; the Super I/O ports and the delay
# port stay unassigned, so their accesses reach the trace as accesses to the root I/O region. The
# drive is a read-only virtio disk, so QEMU writes nothing for it. The firmware's console goes
# to COM1 (0x3F8); -no-reboot turns a guest crash into a prompt exit. The CPU waits (-S) until
# the monitor has read the marker ports.
qemu=("$qemu_command" "${machine[@]}"
  -drive "if=pflash,format=raw,unit=0,readonly=on,file=$code_fd"
  -drive "if=pflash,format=raw,unit=1,file=$work/vars.fd"
  "${drive[@]}" "${exec_log[@]}"
  -chardev "file,id=uart,path=$work/serial.bin"
  -device "isa-serial,iobase=$board_uart_base,irq=$board_uart_irq,chardev=uart"
  -chardev "null,id=probe"
  -device "isa-debugcon,iobase=$board_probe_port,readback=$probe,chardev=probe"
  -serial "file:$work/console.log"
  -trace memory_region_ops_read -trace memory_region_ops_write
  -trace serial_update_parameters -D "$work/trace.fifo"
  "${gdb_qemu_args[@]}"
  -display none -monitor stdio -net none -no-reboot -S)
echo "qemu: ${qemu[*]}"

monitor=""
for port in $markers; do
  monitor+="i /b $port"$'\n'
done
# In the background, so that a signal reaches this script's trap while QEMU runs: bash runs traps
# during wait, not during a foreground command. timeout's --verbose line tells its own signals
# from any other.
status=0
reached=0
stopped=0
limit=$timeout
((!flash)) || limit=$((timeout + 10))
timeout --verbose --kill-after=5 "$limit" "${qemu[@]}" <<<"${monitor}${monitor_go}" \
  >"$work/monitor.log" 2>"$work/qemu.err" &
runner=$!
gdb_attach
if ((flash)); then
  # The firmware goes on to its boot manager and then waits for input: QEMU is stopped (SIGTERM,
  # which it takes as a shutdown) once the boot manager's first line is on the console, or when
  # the time is up; timeout's own limit is a backstop.
  ! await_boot_manager "$work/console.log" "$runner" "$timeout" || reached=1
  kill -0 "$runner" 2>/dev/null || stopped=1
  pkill -TERM -P "$runner" 2>/dev/null || true
fi
wait "$runner" || status=$?
runner=
# A QEMU that stopped before opening the FIFO leaves the filter waiting for a writer: opening
# the FIFO for reading and writing never blocks, and closing it gives the filter its end.
exec {release}<>"$work/trace.fifo"
exec {release}>&-
wait "$filter" || die "the trace filter failed (exit $?)"
filter=

# QEMU ends on SIGINT, SIGTERM or SIGHUP with status 0 and says so; other signals show in the
# status.
signal=$(sed -n 's/.*terminating on signal \([0-9]*\).*/\1/p' "$work/qemu.err" | head -n 1)
((status <= 128)) || signal=$((status - 128))
# A flash boot's QEMU is stopped here once the boot manager is reached or the time is up.
((!flash || stopped)) || signal=
if ((status != 0)) && grep -q '^timeout: sending signal' "$work/qemu.err"; then
  echo "FAIL: QEMU did not power off within $timeout s"
  exit 1
elif [[ -n $signal ]]; then
  echo "FAIL: QEMU ended on signal SIG$(kill -l "$signal")"
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
  passed="boot manager reached"
  order=$(placement_lines "$work/window.trace" "$base" "$code_range")
  if ((early)); then
    misplaced=$(early_fault "$work/window.trace")
    fault+=${fault:+${misplaced:+; }}$misplaced
    passed+="; first in PEI, in place"
  fi
  console="firmware console: ${manager:-(no line from the boot manager)}"
else
  load=$(loader_status "$work/console.log" LoadImage)
  start=$(loader_status "$work/console.log" StartImage)
  fault=$(loader_fault "$load" "$start")
  passed=$start
  console="firmware console: LoadImage ${load:-(nothing)}, StartImage ${start:-(nothing)}"
fi
# The bytes the firmware itself sent to the UART before the module's window (its console, when
# it runs one there) are not the module's.
before=$(window_note "$work/window.trace" before)
tail -c +$((${before:-0} + 1)) "$work/serial.bin" >"$work/module.bin"
serial=$(visible_bytes "$work/module.bin")
setting=$(window_note "$work/window.trace" line)
echo "board $board_name: probe port $board_probe_port, UART $board_uart_base IRQ $board_uart_irq," \
  "$expected_setting"
echo "$console"
[[ -z ${order-} ]] || echo "$order"
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
boot_verdict "$report" "$setting" "$fault" "$passed" "$serial" \
  "$(window_note "$work/window.trace" error)" "$expected_setting"
