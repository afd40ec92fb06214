# shellcheck shell=bash
# Decoding and judging what a QEMU boot of the module left behind: the serial line file, the
# firmware console text and the port window cut from QEMU's trace. Sourced by boot.sh.

# shellcheck disable=SC2034 # the constant is used by the scripts that source this file
readonly SERIAL_BANNER='\r\nOEM_Init_COM OK\r\n'

# The ports read from the QEMU monitor before the CPU starts, so that the trace filter learns
# which region is which: the probe port $1 and the scratch register of the UART at base $2
# (reads with no side effect), in the order the filter expects them ("0x259 0x247").
marker_ports() {
  printf '%s 0x%x\n' "$1" $(($2 + 7))
}

# The bytes of file $1 as lower-case hex, space-separated, on one line.
hex_bytes() {
  od -An -v -tx1 "$1" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//'
}

# The bytes of file $1 with CR, LF, backslash and other non-printing bytes escaped.
visible_bytes() {
  local byte
  for byte in $(hex_bytes "$1"); do
    case $byte in
    0d) printf '\\r' ;;
    0a) printf '\\n' ;;
    5c) printf '%s' "\\\\" ;;
    2? | [3-6]? | 7[0-9a-e]) printf '%b' "\\x$byte" ;;
    *) printf '\\x%s' "$byte" ;;
    esac
  done
}

# Console file $1 as plain lines: terminal escape sequences and carriage returns removed.
console_text() {
  sed -e 's/\x1b\[[0-9;=?]*[A-Za-z]//g' -e 's/\r//g' "$1"
}

# The status the boot loader printed on console file $1 for its step $2 (LoadImage or
# StartImage), as "oemcom-boot: STEP[ NAME]: STATUS"; nothing when it printed none.
loader_status() {
  console_text "$1" | sed -n -E "s/.*oemcom-boot: $2( [^:]*)?: (.*)\$/\\2/p" | head -n 1
}

# The value of the trace window file's comment "# $2: VALUE" (line, dropped, before), or its
# error lines when $2 is "error", one per line.
window_note() {
  sed -n "s/^# $2: //p" "$1"
}

# "115200 8N2" in words; "none" for no setting.
describe_setting() {
  local baud=${1% *} frame=${1#* } parity
  if [[ -z $1 ]]; then
    echo "none"
    return
  fi
  case ${frame:1:1} in
  N) parity="no parity" ;;
  E) parity="even parity" ;;
  O) parity="odd parity" ;;
  *) parity="parity ${frame:1:1}" ;;
  esac
  local stop="${frame:2} stop bits"
  [[ ${frame:2} != 1 ]] || stop="1 stop bit"
  echo "$baud baud, ${frame:0:1} data bits, $parity, $stop"
}

# What went wrong starting the module through the loader, from its LoadImage and StartImage
# statuses ($1, $2): "LoadImage EFI_NOT_FOUND", "StartImage printed no status"; nothing when
# both are EFI_SUCCESS.
loader_fault() {
  if [[ $1 != EFI_SUCCESS ]]; then
    echo "LoadImage ${1:-printed no status}"
  elif [[ $2 != EFI_SUCCESS ]]; then
    echo "StartImage ${2:-printed no status}"
  fi
}

# The one verdict line of a boot, from: te-run's report on the port window ($1; its last line
# is its verdict, and on a mismatch the line before names the first difference), the line
# setting QEMU decoded ($2), what went wrong starting the module or after it ($3, empty when
# nothing did), what the verdict says of that when nothing did ($4: the loader's StartImage
# status, or that the firmware reached its boot manager), the module's serial line as
# visible_bytes shows it ($5), the trace filter's errors, one per line ($6), and the line setting
# the board gives, as QEMU decodes it ($7).
# "PASS: ..." names what was checked; "FAIL: ..." names each fault, the port trace's first.
boot_verdict() {
  local faults=() error checked difference
  checked=$(tail -n 1 <<<"$1")
  difference=$(tail -n 2 <<<"$1" | head -n 1)
  case $checked in
  "verdict: PASS: "*) ;;
  "verdict: FAIL: "*)
    [[ $difference == *step\ [0-9]* ]] || difference=${checked#verdict: FAIL: }
    faults+=("$difference")
    ;;
  *) faults+=("te-run gave no verdict on the port window${checked:+ ($checked)}") ;;
  esac
  while IFS= read -r error; do
    [[ -z $error ]] || faults+=("$error")
  done <<<"$6"
  if [[ -z $2 ]]; then
    faults+=("QEMU decoded no line setting after the module's last LCR write")
  elif [[ $2 != "$7" ]]; then
    faults+=("UART $2, not $7")
  fi
  [[ -z $3 ]] || faults+=("$3")
  [[ $5 == "$SERIAL_BANNER" ]] || faults+=("serial line \"$5\", not \"$SERIAL_BANNER\"")
  if ((${#faults[@]} > 0)); then
    error=$(printf '; %s' "${faults[@]}")
    echo "FAIL: ${error:2}"
    return 1
  fi
  echo "PASS: ${checked#verdict: PASS: }; UART $2; $4"
}
