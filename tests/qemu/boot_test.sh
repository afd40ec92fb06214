#!/usr/bin/env bash
# Checks boot.sh's argument handling, the trace filter and the output decoding in outputs.sh on
# crafted inputs, without booting QEMU.
# Usage: boot_test.sh BUILD_DIR TE-TOOL [HANG.te]
# BUILD_DIR is the build folder boot.sh takes its default files from (--build). Given also an
# image that never returns, it boots that image with the build's loader, te-run and board and
# stops boot.sh with each signal: then nothing of the boot may be left running.
set -euo pipefail

qemu=$(cd "$(dirname "$0")/../../tools/qemu" && pwd)
source "$qemu/outputs.sh"
source "$qemu/board_values.sh"
build=$1
te_tool=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0

expect() { # case name, expected, actual
  if [[ $2 != "$3" ]]; then
    echo "FAIL $1: expected [$2], got [$3]"
    failures=$((failures + 1))
  fi
}

# Command $1 on each row of standard input: exit status | text the output must contain |
# arguments.
check_command_lines() {
  local want message args argv status output
  while IFS='|' read -r want message args; do
    read -ra argv <<<"$args"
    status=0
    output=$("$1" "${argv[@]}" 2>&1) || status=$?
    expect "${1##*/} $args: exit status" "$want" "$status"
    [[ $output == *"$message"* ]] || expect "${1##*/} $args: message" "$message" "$output"
  done
}

# boot.sh: refusals come before any boot.
file=$qemu/boot.sh # stands for an image, a loader or te-run where one must exist
tools="--image $file --loader $file --te-run $file --te-tool $te_tool"
printf 'BOARD_NAME=b\nUART_IRQ=16\n' >"$scratch/irq16.env"
printf '%s\n' BOARD_NAME=c PROBE_PORT=0x25a SIO_INDEX_PORT=0x2e SIO_DATA_PORT=0x2f \
  DELAY_PORT=0xed UART_BASE=0x2f8 UART_IRQ=3 UART_DIVISOR=12 UART_LINE=7E1 >"$scratch/com2.env"
version=$(sed -n 's/^VERSION=//p' "$build/oemcom-paths.env")
check_command_lines "$qemu/boot.sh" <<EOF
0|oemcom-boot (oemcom) $version|--version
0|oemcom-boot (oemcom) $version|--build $build --version
2|no build to take the board from: pass --build DIR or --board PATH|$tools
2|no build to take the loader from: pass --build DIR or --loader PATH|--image $file --te-run $file --te-tool $te_tool --board $file
2|no build to take the fv-tool from: pass --build DIR or --fv-tool PATH|--flash --image $file --te-run $file --te-tool $te_tool --board $file
2|no oemcom-paths.env in the build folder: $scratch/oemcom-paths.env|--build $scratch
EOF
# boot.sh with the build folder's files as its defaults.
boot() { "$qemu/boot.sh" --build "$build" "$@"; }
check_command_lines boot <<EOF
0|Usage: boot.sh|--help
2|--probe needs a number up to 255, not '0x100'|--probe 0x100
2|--probe needs a number up to 255, not 'ff'|--probe ff
2|--probe needs a number up to 255, not '0xg0'|--probe 0xg0
2|--probe needs a number up to 255, not '--keep'|--probe --keep
2|--probe needs a number up to 255, not '256'|--probe 256
2|--probe needs a value|--probe
2|--timeout wants 1 to 9999 seconds, not '0'|--timeout 0
2|--timeout wants 1 to 9999 seconds, not '5s'|--timeout 5s
2|--firmware wants secboot, plain or a code image's path, not 'shell'|--firmware shell
2|--early needs --flash|--early
2|firmware file missing: $scratch/OVMF_CODE.fd|$tools --firmware $scratch/OVMF_CODE.fd
2|no variable store beside $file|$tools --firmware $file
2|--te-run needs a value|--te-run
2|image not found: $scratch/none.te|--image $scratch/none.te
2|image is not a regular file: $scratch|--image $scratch
2|te-tool is not executable: $qemu/outputs.sh|--image $file --loader $file --te-run $file --te-tool $qemu/outputs.sh
1|FAIL: the image is refused: te-tool: check: $qemu/boot.sh: bad TE signature|--probe 255 --image $file --loader $file --te-run $file --te-tool $te_tool
2|loader not found: $scratch/none.efi|--image $file --loader $scratch/none.efi
2|te-run not found: $scratch/te-run (build the 'te-run' target first|--image $file --loader $file --te-run $scratch/te-run
2|board values not found: $scratch/none.env (configure the build first)|$tools --board $scratch/none.env
2|$scratch/irq16.env:2: UART_IRQ: '16' is not a value boot.sh can use|$tools --board $scratch/irq16.env
2|--board needs a value|--board
2|--fv-tool needs a value|--flash --fv-tool
2|fv-tool not found: $scratch/fv-tool (build the 'fv-tool' target first|--flash --image $file --loader $scratch/none.efi --fv-tool $scratch/fv-tool
2|te-run not found: $scratch/te-run|--flash --image $file --fv-tool $qemu/boot.sh --te-run $scratch/te-run
2|--flash needs a UART the firmware leaves alone, not 0x2f8|$tools --flash --fv-tool $file --board $scratch/com2.env
2|--gdb-batch needs a value|--gdb --gdb-batch
2|gdb command file not found: $scratch/none.gdb|$tools --board $scratch/com2.env --gdb-batch $scratch/none.gdb
2|debug twin not found: $file.debug.efi (the build writes it beside the image)|$tools --board $scratch/com2.env --gdb
2|unknown argument '--bogus'|--bogus
EOF

# The README commands: every argument is checked before anything is installed or built.
check_command_lines "$qemu/../../run.sh" <<EOF
0|--probe VALUE  what the board's probe port reads|--help
2|run.sh: --probe needs a number up to 255, not '0xZZ' (usage: ./run.sh|--probe 0xZZ
2|run.sh: --probe needs a number up to 255, not '256'|--probe 256 --busy 1
2|run.sh: --busy needs a number up to 10000, not '10001'|--probe 255 --busy 10001
2|run.sh: --busy needs a value|--busy
2|run.sh: unknown argument '--bogus'|--probe 0x00 --bogus
EOF
check_command_lines "$qemu/../../test.sh" <<EOF
0|usage: ./test.sh [--help]|--help
2|test.sh: unknown argument '--bogus' (usage: ./test.sh [--help])|--bogus
EOF

# Bytes on the serial line (hex) | how boot.sh shows them.
while IFS='|' read -r bytes shown; do
  printf '%b' "$(sed -E 's/([0-9a-f]{2}) ?/\\x\1/g' <<<"$bytes")" >"$scratch/serial.bin"
  expect "visible_bytes $bytes" "$shown" "$(visible_bytes "$scratch/serial.bin")"
done <<'EOF'
0d 0a 4f 4b 0d 0a|\r\nOK\r\n
5c 6e|\\n
20 7e 25 41| ~%A
00 09 1b 7f 80 ff|\x00\x09\x1b\x7f\x80\xff
EOF

# Console text (printf %b) | loader step | status the loader printed for it.
while IFS='|' read -r console step status; do
  printf '%b' "$console" >"$scratch/console.log"
  expect "loader_status $step in [$console]" "$status" "$(loader_status "$scratch/console.log" "$step")"
done <<'EOF'
BdsDxe: starting Boot0002\r\noemcom-boot: LoadImage \\oemcom.te: EFI_SUCCESS\r\noemcom-boot: StartImage: EFI_SUCCESS\r\n|LoadImage|EFI_SUCCESS
BdsDxe: starting Boot0002\r\noemcom-boot: LoadImage \\oemcom.te: EFI_SUCCESS\r\noemcom-boot: StartImage: EFI_SUCCESS\r\n|StartImage|EFI_SUCCESS
\e[0m\e[37m\e[40moemcom-boot: StartImage: EFI_UNSUPPORTED\r\n|StartImage|EFI_UNSUPPORTED
oemcom-boot: LoadImage \\oemcom.te: EFI_NOT_FOUND\r\noemcom-boot: power off\r\n|StartImage|
oemcom-boot: device path of \\oemcom.te: EFI_BUFFER_TOO_SMALL\r\n|LoadImage|
EOF

# Board values file (printf %b) | what read_board reads from it: name, probe port, Super I/O
# index and data ports, delay port, UART base, IRQ, divisor and line, or its refusal.
while IFS='|' read -r text want; do
  printf '%b' "$text" >"$scratch/board.env"
  if read_board "$scratch/board.env"; then
    got="$board_name $board_probe_port $board_sio_index_port $board_sio_data_port"
    got+=" $board_delay_port $board_uart_base $board_uart_irq $board_uart_divisor $board_uart_line"
  else
    got=${board_error#"$scratch/"}
  fi
  expect "read_board [$text]" "$want" "$got"
done <<'EOF'
# Board com2\nBOARD_NAME=com2\nPROBE_PORT=0x25a\nSIO_INDEX_PORT=0x2e\nSIO_DATA_PORT=0x2f\nDELAY_PORT=0xed\nUART_BASE=0x2f8\nUART_IRQ=3\nUART_DIVISOR=12\nUART_LINE=7E1\n|com2 0x25a 0x2e 0x2f 0xed 0x2f8 3 12 7E1
UART_LINE=8N2\nUART_DIVISOR=1\nUART_IRQ=15\nUART_BASE=0x240\nDELAY_PORT=0xed\nSIO_DATA_PORT=0x4f\nSIO_INDEX_PORT=0x4e\nPROBE_PORT=0x259\nSIO_LDN=3\nBOARD_NAME=reference|reference 0x259 0x4e 0x4f 0xed 0x240 15 1 8N2
BOARD_NAME=b\nPROBE_PORT=0x259\nSIO_INDEX_PORT=0x4e\nSIO_DATA_PORT=0x4f\nDELAY_PORT=0xed\nUART_BASE=0x240\nUART_IRQ=4\nUART_DIVISOR=1\n|board.env: no UART_LINE line
BOARD_NAME=b\nPROBE_PORT=0x259\nUART_BASE=0x240\nUART_IRQ=4\nUART_DIVISOR=1\nUART_LINE=8N2\n|board.env: no SIO_INDEX_PORT line
BOARD_NAME=b\nPROBE_PORT=0x259\nUART_BASE=0x240\nUART_IRQ=4\nUART_DIVISOR=0\nUART_LINE=8N2\n|board.env:5: UART_DIVISOR: '0' is not a value boot.sh can use
BOARD_NAME=b\nPROBE_PORT=0x10000\n|board.env:2: PROBE_PORT: '0x10000' is not a value boot.sh can use
BOARD_NAME=b\nPROBE_PORT=0x259\nUART_BASE=0x240\nUART_IRQ=4\nUART_DIVISOR=1\nUART_LINE=9N1\n|board.env:6: UART_LINE: '9N1' is not a value boot.sh can use
BOARD_NAME=a b\n|board.env:1: BOARD_NAME: 'a b' is not a value boot.sh can use
EOF

# Probe port | UART base | the monitor's marker reads.
while IFS='|' read -r probe base want; do
  expect "marker_ports $probe $base" "$want" "$(marker_ports "$probe" "$base")"
done <<'EOF'
0x259|0x240|0x259 0x247
0x25a|0x2f8|0x25a 0x2ff
EOF

# The trace filter on QEMU's log lines, written here in a short form: "R|W CPU REGION ADDRESS
# VALUE [SIZE]" for memory_region_ops_read/write, "P BAUD PARITY DATA STOP" for
# serial_update_parameters. Regions: uart (the board's UART) and com1 (0x3F8), both 'serial';
# probe, the 'isa-debugcon' at the board's probe port; io, the root I/O region of unassigned
# ports; tmr, the ACPI timer; fwcfg, QEMU's firmware configuration port. "T ADDRESS" is -d
# exec's line for a translation block run at ADDRESS (8 hex digits).
trace_lines() { # line prefix, short lines separated by ';'
  local line kind cpu region address value size pointer name
  IFS=';' read -ra lines <<<"$2"
  for line in "${lines[@]}"; do
    read -r kind cpu region address value size <<<"$line"
    case $region in
    uart) pointer=0x55d0c0de0240 name=serial ;;
    com1) pointer=0x55d0c0de03f8 name=serial ;;
    probe) pointer=0x55d0c0de0259 name=isa-debugcon ;;
    io) pointer=0x55d0c0de0000 name=io ;;
    tmr) pointer=0x55d0c0de0608 name=acpi-tmr ;;
    fwcfg) pointer=0x55d0c0de0510 name=fwcfg ;;
    esac
    case $kind in
    T) echo "Trace 0: 0x7f0123456000 [00000000/$cpu/004000b0/ff000000] " ;;
    P) echo "$1serial_update_parameters baudrate=$cpu parity='$region' data=$address stop=$value" ;;
    R) echo "$1memory_region_ops_read cpu $cpu mr $pointer addr $address value $value size ${size:-1} name '$name'" ;;
    W) echo "$1memory_region_ops_write cpu $cpu mr $pointer addr $address value $value size ${size:-1} name '$name'" ;;
    esac
  done
}
# The monitor's marker reads, as QEMU 7.2 and 10 trace them (absolute port numbers), and as a
# QEMU tracing offsets within each region would.
marks='R -1 probe 0x259 0x0;R -1 uart 0x247 0x0'
offset_marks='R -1 probe 0x0 0x0;R -1 uart 0x7 0x0'
# A window with COM1 writes (a byte, then its own line change) and a timer read inside it, all
# three dropped, and an unassigned port read after the last THR write, cut off.
window='R 0 probe 0x259 0x0;W 0 io 0x4e 0x7;W 0 com1 0x3f8 0x41;R 0 tmr 0x608 0x1c3a 4;W 0 uart 0x243 0x87;P 9600 N 8 2;W 0 uart 0x240 0x1;P 115200 N 8 2;W 0 uart 0x243 0x7;P 115200 N 8 2;W 0 com1 0x3fb 0x3;P 115200 N 8 1;R 0 uart 0x245 0x60;W 0 uart 0x240 0xd;R 0 io 0x2ff 0xffffffffffffffff'
offset_window='R 0 probe 0x0 0x0;W 0 io 0x4e 0x7;W 0 com1 0x0 0x41;R 0 tmr 0x0 0x1c3a 4;W 0 uart 0x3 0x87;P 9600 N 8 2;W 0 uart 0x0 0x1;P 115200 N 8 2;W 0 uart 0x3 0x7;P 115200 N 8 2;W 0 com1 0x3 0x3;P 115200 N 8 1;R 0 uart 0x5 0x60;W 0 uart 0x0 0xd;R 0 io 0x2ff 0xffffffffffffffff'
cut='R 0x0259 0x00;W 0x004e 0x07;W 0x0243 0x87;W 0x0240 0x01;W 0x0243 0x07;R 0x0245 0x60;W 0x0240 0x0d;# line: 115200 8N2;# dropped: 3;# before: 0;# order: 1 0'
# A board with its probe port at 0x25A and its UART at 0x2F8, whose firmware sends two bytes of
# its own to the UART, around a divisor write, and reads its MSR before the module runs.
marks2='R -1 probe 0x25a 0x0;R -1 uart 0x2ff 0x0'
firmware2='W 0 uart 0x2fb 0x3;W 0 uart 0x2f8 0x41;W 0 uart 0x2fb 0x83;W 0 uart 0x2f8 0x1;W 0 uart 0x2fb 0x3;W 0 uart 0x2f8 0x42;R 0 uart 0x2fe 0xb0'
window2='R 0 probe 0x25a 0x0;W 0 io 0x2e 0x7;W 0 io 0x2f 0x2;W 0 uart 0x2fb 0x9a;W 0 uart 0x2f8 0xc;W 0 uart 0x2fb 0x1a;P 9600 E 7 1;R 0 uart 0x2fd 0x60;W 0 uart 0x2f8 0xd'
reference='0x259 0x240 0x4e 0x4f 0xed 0'
com2='0x25a 0x2f8 0x2e 0x2f 0xed 1'
cut2='R 0x025a 0x00;W 0x002e 0x07;W 0x002f 0x02;W 0x02fb 0x9a;W 0x02f8 0x0c;W 0x02fb 0x1a;R 0x02fd 0x60;W 0x02f8 0x0d;# line: 9600 7E1;# dropped: 0;# before: 2;# order: 8 0'
# Board: probe port, UART base, Super I/O index and data ports, delay port, 1 when the firmware
# shares the UART | line prefix | trace | the filter's output, lines separated by ';'.
while IFS='|' read -r board prefix trace want; do
  read -r probe uart index data delay shared <<<"$board"
  trace_lines "$prefix" "$trace" >"$scratch/trace.log"
  got=$(awk -v probe="$probe" -v uart="$uart" -v ports="$index $data $delay" \
    -v shared_uart="$shared" -f "$qemu/trace_filter.awk" "$scratch/trace.log" | paste -sd ';')
  expect "trace_filter for $board on [$prefix$trace]" "$want" "$got"
done <<EOF
$reference||$marks;$window|$cut
$reference|4242@1796689417.091144:|$marks;$window|$cut
$reference||$offset_marks;$offset_window|$cut
$reference||$marks;W 0 io 0x2ff 0xaa;W 0 uart 0x243 0x3;R 0 probe 0x259 0xff;W 0 uart 0x243 0x7;P 115200 N 8 2;R 0 uart 0x245 0x60;W 0 uart 0x240 0xd|R 0x0259 0xff;W 0x0243 0x07;R 0x0245 0x60;W 0x0240 0x0d;# line: 115200 8N2;# dropped: 0;# before: 0;# order: 3 0;# error: 1 access to the module's ports before the window, the first W 0x0243 0x03
$reference||$marks;W 0 io 0xed 0x0;W 0 io 0x80 0x1;R 0 probe 0x259 0xff;W 0 uart 0x240 0xd|R 0x0259 0xff;W 0x0240 0x0d;# dropped: 0;# before: 0;# order: 3 0;# error: 1 access to the module's ports before the window, the first W 0x00ed 0x00
$reference||$marks;R 0 probe 0x259 0x0;W 0 uart 0x243 0x7;P 115200 N 8 2;W 0 uart 0x240 0xd;W 0 uart 0x243 0x87;P 9600 N 8 2;W 0 uart 0x240 0xc|R 0x0259 0x00;W 0x0243 0x07;W 0x0240 0x0d;# line: 115200 8N2;# dropped: 0;# before: 0;# order: 1 0;# error: 2 accesses to the module's ports after the window, the first W 0x0243 0x87
$reference||$marks;R 0 probe 0x259 0x0;W 0 io 0x2ff 0xaa;R 0 uart 0x245 0x60;W 0 uart 0x240 0xd0a 2;R 0 uart 0x245 0x60 2|R 0x0259 0x00;W 0x02ff 0xaa;R 0x0245 0x60;W 0x0240 0x0a;# dropped: 0;# before: 0;# order: 1 0;# error: 2-byte write of port 0x0240 in the window;# error: 1 access to the module's ports after the window, the first R 0x0245 0x60
$reference||R -1 probe 0x259 0x0;R 0 probe 0x259 0x0;W 0 uart 0x243 0x7;W 0 io 0xed 0x0|R 0x0259 0x00;W 0x00ed 0x00;# dropped: 1;# before: 0;# order: 1 0;# error: no monitor read of port 0x247 in the trace
$reference||$marks;W 0 com1 0x3f8 0x41|# dropped: 0;# before: 0;# order: 0 0;# error: no read of port 0x259: the module did not run
$com2||$marks2;$firmware2;$window2|$cut2
$com2||$marks2;W 0 io 0x2e 0x7;$window2|${cut2%2;# order: 8 0}0;# order: 2 0;# error: 1 access to the module's ports before the window, the first W 0x002e 0x07
$reference||$marks;W 0 fwcfg 0x510 0x0 2;R 0 fwcfg 0x511 0x51;R 0 tmr 0x608 0x1c3a 4;R 0 probe 0x259 0xff;W 0 uart 0x243 0x7;P 115200 N 8 2;R 0 uart 0x245 0x60;W 0 uart 0x240 0xd|R 0x0259 0xff;W 0x0243 0x07;R 0x0245 0x60;W 0x0240 0x0d;# line: 115200 8N2;# dropped: 0;# before: 0;# order: 4 1
$reference||$marks;R 0 tmr 0x608 0x1c3a 4;T 008472c0;R 0 probe 0x259 0xff;T 00847300;W 0 uart 0x243 0x7;P 115200 N 8 2;R 0 uart 0x245 0x60;W 0 uart 0x240 0xd;W 0 fwcfg 0x510 0x0 2|R 0x0259 0xff;W 0x0243 0x07;R 0x0245 0x60;W 0x0240 0x0d;# line: 115200 8N2;# dropped: 0;# before: 0;# order: 2 6;# exec: 2 0x008472c0
EOF

# Line setting as the trace filter writes it | in words.
while IFS='|' read -r setting words; do
  expect "describe_setting $setting" "$words" "$(describe_setting "$setting")"
done <<'EOF'
115200 8N2|115200 baud, 8 data bits, no parity, 2 stop bits
9600 7E1|9600 baud, 7 data bits, even parity, 1 stop bit
|none
EOF

# LoadImage status | StartImage status | what went wrong.
while IFS='|' read -r load start fault; do
  expect "loader_fault [$load|$start]" "$fault" "$(loader_fault "$load" "$start")"
done <<'EOF'
EFI_SUCCESS|EFI_SUCCESS|
EFI_NOT_FOUND||LoadImage EFI_NOT_FOUND
||LoadImage printed no status
EFI_SUCCESS|EFI_UNSUPPORTED|StartImage EFI_UNSUPPORTED
EFI_SUCCESS||StartImage printed no status
EOF

# te-run's report (printf %b; its last two lines suffice) | line setting | what went wrong
# starting the module or after it | what a pass says instead | serial line | filter error |
# the board's line setting | verdict.
while IFS='|' read -r report setting fault passed serial error board verdict; do
  expect "boot_verdict [$report|$setting|$fault|$passed|$serial|$error|$board]" "$verdict" \
    "$(boot_verdict "$(printf '%b' "$report")" "$setting" "$fault" "$passed" "$serial" "$error" \
      "$board")"
done <<'EOF'
verdict: PASS: 67 port accesses match the script|115200 8N2||EFI_SUCCESS|\r\nOEM_Init_COM OK\r\n||115200 8N2|PASS: 67 port accesses match the script; UART 115200 8N2; EFI_SUCCESS
verdict: PASS: 43 port accesses match the script|115200 8N2||boot manager reached|\r\nOEM_Init_COM OK\r\n||115200 8N2|PASS: 43 port accesses match the script; UART 115200 8N2; boot manager reached
step 29: expected W 0x0243 <- 0x07  UART LCR, got W 0x0243 <- 0x03  UART LCR\nverdict: FAIL: step 29 differs from the script|115200 8N1||EFI_SUCCESS|\r\nOEM_Init_COM OK\r\n||115200 8N2|FAIL: step 29: expected W 0x0243 <- 0x07  UART LCR, got W 0x0243 <- 0x03  UART LCR; UART 115200 8N1, not 115200 8N2
1 access beyond the script's 43: step 44 got W 0x0242 <- 0x07  UART FCR\nverdict: FAIL: 1 access beyond the script's 43|115200 8N2||EFI_SUCCESS|\r\nOEM_Init_COM OK\r\n||115200 8N2|FAIL: 1 access beyond the script's 43: step 44 got W 0x0242 <- 0x07  UART FCR
script: probe 0x00, busy 0, 67 accesses\nverdict: FAIL: no trace|115200 8N2||EFI_SUCCESS|\r\nOEM_Init_COM OK\r\n||115200 8N2|FAIL: no trace
verdict: PASS: 43 port accesses match the script|115200 8N2|StartImage EFI_UNSUPPORTED||\r\nOEM_Init_COM OK\r\n||115200 8N2|FAIL: StartImage EFI_UNSUPPORTED
verdict: PASS: 67 port accesses match the script|115200 8N2|the firmware did not reach its boot manager||\r\nOEM_Init_COM OK\r\n||115200 8N2|FAIL: the firmware did not reach its boot manager
trace ends after 0 accesses, expected 67: step 1 expected R 0x0259 -> 0x00  probe\nverdict: FAIL: trace ends after 0 accesses, expected 67||LoadImage EFI_NOT_FOUND|||no read of port 0x259: the module did not run|115200 8N2|FAIL: trace ends after 0 accesses, expected 67: step 1 expected R 0x0259 -> 0x00  probe; no read of port 0x259: the module did not run; QEMU decoded no line setting after the module's last LCR write; LoadImage EFI_NOT_FOUND; serial line "", not "\r\nOEM_Init_COM OK\r\n"
te-run: unknown option --check-trace|115200 8N2||EFI_SUCCESS|\r\nOEM_Init_COM OK\r\n||115200 8N2|FAIL: te-run gave no verdict on the port window (te-run: unknown option --check-trace)
verdict: PASS: 67 port accesses match the script|115200 8N2|StartImage printed no status||\r\nOEM_Init_COM OK\r\n\r\n||115200 8N2|FAIL: StartImage printed no status; serial line "\r\nOEM_Init_COM OK\r\n\r\n", not "\r\nOEM_Init_COM OK\r\n"
verdict: PASS: board com2: 67 port accesses match the script|9600 7E1||EFI_SUCCESS|\r\nOEM_Init_COM OK\r\n||9600 7E1|PASS: board com2: 67 port accesses match the script; UART 9600 7E1; EFI_SUCCESS
verdict: PASS: board com2: 67 port accesses match the script|9600 7O1||EFI_SUCCESS|\r\nOEM_Init_COM OK\r\n||9600 7E1|FAIL: UART 9600 7O1, not 9600 7E1
EOF

# Signal | whom it goes to | boot.sh's exit status | its last line. boot.sh boots an image that
# never returns, and the signal goes out once QEMU runs; a second after boot.sh ends no process
# of the boot may be left, nor its work folder.
if (($# == 3)); then
  set -m # each boot in a process group of its own, with SIGINT not ignored, as from a terminal
  while IFS='|' read -r signal whom want last; do
    tmp=$(mktemp -d "$scratch/signal.XXXXXX")
    TMPDIR=$tmp "$qemu/boot.sh" --build "$build" --probe 0x00 --image "$3" --timeout 100 \
      >"$tmp.log" 2>&1 &
    boot=$!
    for ((tries = 0; tries < 300; tries++)); do
      ! pgrep -f "^[^ ]*qemu-system-i386 .*$tmp/" >/dev/null || break
      sleep 0.1
    done
    sleep 1 # the firmware under way
    if [[ $whom == boot.sh ]]; then
      kill "-$signal" "$boot"
    else
      pkill "-$signal" -f "^[^ ]*qemu-system-i386 .*$tmp/"
    fi
    status=0
    wait "$boot" || status=$?
    sleep 1
    case_name="SIG$signal to $whom"
    expect "$case_name: exit status" "$want" "$status"
    expect "$case_name: last line" "$last" "$(tail -n 1 "$tmp.log" | grep -v '^work folder')"
    expect "$case_name: processes left" "" "$(pgrep -af "$tmp/" || true)"
    expect "$case_name: files left" "" "$(ls -A "$tmp")"
  done <<'EOF'
TERM|boot.sh|143|boot.sh: stopped by SIGTERM
INT|boot.sh|130|boot.sh: stopped by SIGINT
HUP|boot.sh|129|boot.sh: stopped by SIGHUP
KILL|qemu|1|FAIL: QEMU ended on signal SIGKILL
TERM|qemu|1|FAIL: QEMU ended on signal SIGTERM
EOF
  set +m
fi

if ((failures > 0)); then
  echo "$failures case(s) failed"
  exit 1
fi
echo "all cases passed"
