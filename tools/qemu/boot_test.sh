#!/usr/bin/env bash
# Checks boot.sh's argument handling, the trace filter and the output decoding in outputs.sh on
# crafted inputs, without booting QEMU.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source "$here/outputs.sh"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0

expect() { # case name, expected, actual
  if [[ $2 != "$3" ]]; then
    echo "FAIL $1: expected [$2], got [$3]"
    failures=$((failures + 1))
  fi
}

# Exit status | text the output must contain | arguments. Refusals come before any boot.
file=$here/boot_test.sh # stands for an image, a loader or te-run where one must exist
while IFS='|' read -r want message args; do
  read -ra argv <<<"$args"
  status=0
  output=$("$here/boot.sh" "${argv[@]}" 2>&1) || status=$?
  expect "boot.sh $args: exit status" "$want" "$status"
  [[ $output == *"$message"* ]] || expect "boot.sh $args: message" "$message" "$output"
done <<EOF
0|Usage: boot.sh|--help
2|--probe wants a byte as 0xNN, not '0x100'|--probe 0x100
2|--probe wants a byte as 0xNN, not 'ff'|--probe ff
2|--probe wants a byte as 0xNN, not '0xg0'|--probe 0xg0
2|--probe wants a byte as 0xNN, not '--keep'|--probe --keep
2|--probe needs a value|--probe
2|--timeout wants 1 to 9999 seconds, not '0'|--timeout 0
2|--timeout wants 1 to 9999 seconds, not '5s'|--timeout 5s
2|--firmware wants secboot or plain, not 'shell'|--firmware shell
2|--te-run needs a value|--te-run
2|image not found: $scratch/none.te|--image $scratch/none.te
2|loader not found: $scratch/none.efi|--image $file --loader $scratch/none.efi
2|te-run not found: $scratch/te-run (build the 'te-run' target first|--image $file --loader $file --te-run $scratch/te-run
2|--fv-tool needs a value|--flash --fv-tool
2|fv-tool not found: $scratch/fv-tool (build the 'fv-tool' target first|--flash --image $file --loader $scratch/none.efi --fv-tool $scratch/fv-tool
2|te-run not found: $scratch/te-run|--flash --image $file --fv-tool $here/boot.sh --te-run $scratch/te-run
2|unknown argument '--bogus'|--bogus
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

# The trace filter on QEMU's log lines, written here in a short form: "R|W CPU REGION ADDRESS
# VALUE [SIZE]" for memory_region_ops_read/write, "P BAUD PARITY DATA STOP" for
# serial_update_parameters. Regions: uart (0x240) and com1 (0x3F8), both 'serial'; probe, the
# 'isa-debugcon' at 0x259; io, the root I/O region of unassigned ports; tmr, the ACPI timer.
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
    esac
    case $kind in
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
cut='R 0x0259 0x00;W 0x004e 0x07;W 0x0243 0x87;W 0x0240 0x01;W 0x0243 0x07;R 0x0245 0x60;W 0x0240 0x0d;# line: 115200 8N2;# dropped: 3'
# Line prefix | trace | the filter's output, lines separated by ';'.
while IFS='|' read -r prefix trace want; do
  trace_lines "$prefix" "$trace" >"$scratch/trace.log"
  got=$(awk -v markers="$MARKER_PORTS" -f "$here/trace_filter.awk" "$scratch/trace.log" |
    paste -sd ';')
  expect "trace_filter on [$prefix$trace]" "$want" "$got"
done <<EOF
|$marks;$window|$cut
4242@1796689417.091144:|$marks;$window|$cut
|$offset_marks;$offset_window|$cut
|$marks;W 0 io 0x2ff 0xaa;W 0 uart 0x243 0x3;R 0 probe 0x259 0xff;W 0 uart 0x243 0x7;P 115200 N 8 2;R 0 uart 0x245 0x60;W 0 uart 0x240 0xd|R 0x0259 0xff;W 0x0243 0x07;R 0x0245 0x60;W 0x0240 0x0d;# line: 115200 8N2;# dropped: 0;# error: 1 access to the module's ports before the window, the first W 0x0243 0x03
|$marks;W 0 io 0xed 0x0;W 0 io 0x80 0x1;R 0 probe 0x259 0xff;W 0 uart 0x240 0xd|R 0x0259 0xff;W 0x0240 0x0d;# dropped: 0;# error: 1 access to the module's ports before the window, the first W 0x00ed 0x00
|$marks;R 0 probe 0x259 0x0;W 0 uart 0x243 0x7;P 115200 N 8 2;W 0 uart 0x240 0xd;W 0 uart 0x243 0x87;P 9600 N 8 2;W 0 uart 0x240 0xc|R 0x0259 0x00;W 0x0243 0x07;W 0x0240 0x0d;# line: 115200 8N2;# dropped: 0;# error: 2 accesses to the module's ports after the window, the first W 0x0243 0x87
|$marks;R 0 probe 0x259 0x0;W 0 io 0x2ff 0xaa;R 0 uart 0x245 0x60;W 0 uart 0x240 0xd0a 2;R 0 uart 0x245 0x60 2|R 0x0259 0x00;W 0x02ff 0xaa;R 0x0245 0x60;W 0x0240 0x0a;# dropped: 0;# error: 2-byte write of port 0x0240 in the window;# error: 1 access to the module's ports after the window, the first R 0x0245 0x60
|R -1 probe 0x259 0x0;R 0 probe 0x259 0x0;W 0 uart 0x243 0x7;W 0 io 0xed 0x0|R 0x0259 0x00;W 0x00ed 0x00;# dropped: 1;# error: no monitor read of port 0x247 in the trace
|$marks;W 0 com1 0x3f8 0x41|# dropped: 0;# error: no read of port 0x259: the module did not run
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
# verdict.
while IFS='|' read -r report setting fault tail serial error verdict; do
  expect "boot_verdict [$report|$setting|$fault|$tail|$serial|$error]" "$verdict" \
    "$(boot_verdict "$(printf '%b' "$report")" "$setting" "$fault" "$tail" "$serial" "$error")"
done <<'EOF'
verdict: PASS: 67 port accesses match the script|115200 8N2||EFI_SUCCESS|\r\nOEM_Init_COM OK\r\n||PASS: 67 port accesses match the script; UART 115200 8N2; EFI_SUCCESS
verdict: PASS: 43 port accesses match the script|115200 8N2||boot manager reached|\r\nOEM_Init_COM OK\r\n||PASS: 43 port accesses match the script; UART 115200 8N2; boot manager reached
step 29: expected W 0x0243 <- 0x07  UART LCR, got W 0x0243 <- 0x03  UART LCR\nverdict: FAIL: step 29 differs from the script|115200 8N1||EFI_SUCCESS|\r\nOEM_Init_COM OK\r\n||FAIL: step 29: expected W 0x0243 <- 0x07  UART LCR, got W 0x0243 <- 0x03  UART LCR; UART 115200 8N1, not 115200 8N2
1 access beyond the script's 43: step 44 got W 0x0242 <- 0x07  UART FCR\nverdict: FAIL: 1 access beyond the script's 43|115200 8N2||EFI_SUCCESS|\r\nOEM_Init_COM OK\r\n||FAIL: 1 access beyond the script's 43: step 44 got W 0x0242 <- 0x07  UART FCR
script: probe 0x00, busy 0, 67 accesses\nverdict: FAIL: no trace|115200 8N2||EFI_SUCCESS|\r\nOEM_Init_COM OK\r\n||FAIL: no trace
verdict: PASS: 43 port accesses match the script|115200 8N2|StartImage EFI_UNSUPPORTED||\r\nOEM_Init_COM OK\r\n||FAIL: StartImage EFI_UNSUPPORTED
verdict: PASS: 67 port accesses match the script|115200 8N2|the firmware did not reach its boot manager||\r\nOEM_Init_COM OK\r\n||FAIL: the firmware did not reach its boot manager
trace ends after 0 accesses, expected 67: step 1 expected R 0x0259 -> 0x00  probe\nverdict: FAIL: trace ends after 0 accesses, expected 67||LoadImage EFI_NOT_FOUND|||no read of port 0x259: the module did not run|FAIL: trace ends after 0 accesses, expected 67: step 1 expected R 0x0259 -> 0x00  probe; no read of port 0x259: the module did not run; QEMU decoded no line setting after the module's last LCR write; LoadImage EFI_NOT_FOUND; serial line "", not "\r\nOEM_Init_COM OK\r\n"
te-run: unknown option --check-trace|115200 8N2||EFI_SUCCESS|\r\nOEM_Init_COM OK\r\n||FAIL: te-run gave no verdict on the port window (te-run: unknown option --check-trace)
verdict: PASS: 67 port accesses match the script|115200 8N2|StartImage printed no status||\r\nOEM_Init_COM OK\r\n\r\n||FAIL: StartImage printed no status; serial line "\r\nOEM_Init_COM OK\r\n\r\n", not "\r\nOEM_Init_COM OK\r\n"
EOF

if ((failures > 0)); then
  echo "$failures case(s) failed"
  exit 1
fi
echo "all cases passed"
