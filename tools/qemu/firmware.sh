# shellcheck shell=bash
# Which OVMF build boots, and how QEMU must be started for it. Sourced by boot.sh.

readonly FIRMWARE_DIR=/usr/share/OVMF

# The code image --firmware $1 names: "secboot" and "plain" stand for the 32-bit builds,
# anything else is a path.
firmware_code() {
  case $1 in
  secboot) echo "$FIRMWARE_DIR/OVMF32_CODE_4M.secboot.fd" ;;
  plain) echo "$FIRMWARE_DIR/OVMF32_CODE_4M.fd" ;;
  *) echo "$1" ;;
  esac
}

# The variable store beside code image $1: its name with CODE turned into VARS, the build's
# suffix (.secboot, .ms, .snakeoil) kept when such a store exists and dropped otherwise, as
# Debian ships them (OVMF_CODE_4M.ms.fd with OVMF_VARS_4M.ms.fd, OVMF_CODE_4M.secboot.fd with
# OVMF_VARS_4M.fd). Nothing when there is none.
firmware_vars() {
  local dir name vars
  dir=$(dirname "$1")
  name=$(basename "$1")
  [[ $name == *CODE* ]] || return 0
  vars=${name/CODE/VARS}
  if [[ -f $dir/$vars ]]; then
    echo "$dir/$vars"
  elif [[ -f $dir/${vars%%.*}.fd ]]; then
    echo "$dir/${vars%%.*}.fd"
  fi
}

# The machine of the DXE core in code image $1, as fv-tool $2 lists it ("0x14c", "0x8664"):
# the firmware runs its boot services, and so the loader, in that mode. The listing is read
# whole: a reader that stopped early would end fv-tool on SIGPIPE.
dxe_core_machine() {
  local listing
  listing=$("$2" list "$1" 2>/dev/null) || return 0
  awk '
    / DXE core \(0x05\)/ { dxe = 1; next }
    / file / { dxe = 0 }
    dxe && !found && /image base/ && match($0, /machine 0x[0-9a-f]+/) {
      print substr($0, RSTART + 8, RLENGTH - 8)
      found = 1
    }' <<<"$listing"
}

# QEMU's command for a DXE core of machine $1: qemu-system-i386 or qemu-system-x86_64.
qemu_for_machine() {
  case $1 in
  0x14c) echo qemu-system-i386 ;;
  0x8664) echo qemu-system-x86_64 ;;
  esac
}

# The -machine and -global options code image $1 needs: a Secure Boot build (Debian's .secboot,
# and .ms and .snakeoil, links to it) keeps its variables in SMM and must have it.
firmware_machine_options() {
  if [[ $(basename "$(readlink -f "$1")") == *.secboot.* ]]; then
    echo "-machine q35,smm=on -global driver=cfi.pflash01,property=secure,value=on"
  else
    echo "-machine q35"
  fi
}
