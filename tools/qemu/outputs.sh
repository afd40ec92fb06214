# shellcheck shell=bash
# Decoding and checking of what a QEMU boot of the module left behind: the serial line file,
# the Super I/O and delay byte stream, and the firmware console text. Sourced by boot.sh.

# shellcheck disable=SC2034 # both constants are used by the scripts that source this file
readonly SERIAL_BANNER='\r\nOEM_Init_COM OK\r\n'
# (register, delay 0, delay 0, value) for each Super I/O pair: LDN 3, chip register 0x29,
# base 0x0240, IRQ 4, activate.
readonly SIO_STREAM='07 00 00 03 29 00 00 1c 60 00 00 02 61 00 00 40 70 00 00 04 30 00 00 01'

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

# The Super I/O stream the module must write for probe value $1: nothing when it reads 0xFF.
expected_sio() {
  if (($1 == 0xff)); then
    echo ""
  else
    echo "$SIO_STREAM"
  fi
}

sio_register_name() {
  case $1 in
  07) echo "logical device select" ;;
  29) echo "chip configuration 0x29" ;;
  60) echo "I/O base high byte" ;;
  61) echo "I/O base low byte" ;;
  70) echo "interrupt level" ;;
  30) echo "activate" ;;
  *) echo "register 0x$1" ;;
  esac
}

# One line per byte of the stream $1, named by its place in a (register, delay, delay, value)
# group: the stream does not record which of the three ports received each byte.
describe_sio() {
  local position=0 byte
  [[ -n $1 ]] || echo "  (none)"
  for byte in $1; do
    case $((position % 4)) in
    0) echo "  index 0x$byte  $(sio_register_name "$byte")" ;;
    1 | 2) echo "  delay 0x$byte" ;;
    3) echo "  data  0x$byte" ;;
    esac
    position=$((position + 1))
  done
}

# Console file $1 as plain lines: terminal escape sequences and carriage returns removed.
console_text() {
  sed -e 's/\x1b\[[0-9;=?]*[A-Za-z]//g' -e 's/\r//g' "$1"
}

# What the shell printed in answer to "load NAME" ($2) in console file $1.
load_reply() {
  console_text "$1" | awk -v command="load $2" '
    found && /^[^ ]+> / { exit }
    found { print }
    index($0, "> " command) && !found { found = 1 }'
}

# Succeeds when line $1 is the shell's report of a successful load and start.
load_succeeded() {
  [[ $1 =~ ^Image\ \'.*\'\ loaded\ at\ [0-9A-Fa-f]+\ -\ Success$ ]]
}
