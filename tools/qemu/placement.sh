# shellcheck shell=bash
# Where the module ran in a flash boot, from the trace filter's notes: whether its port window
# came before the platform PEIM's first fw_cfg access (port 0x510), and whether its code ran at
# the address fv-tool rebased it to. Sourced by boot.sh, after outputs.sh.

# The TE image base fv-tool insert reported in text $1 ("TE image base 0x00847140 ...").
inserted_base() {
  sed -n 's/.*TE image base \(0x[0-9a-f]*\).*/\1/p' <<<"$1" | head -n 1
}

# The module's code at image base $3 as QEMU's -dfilter takes it ("0x8472c0+0xaf5"): the
# .text section of image $1 as te-tool $2 inspects it.
module_code_range() {
  local rva size
  read -r rva size < <("$2" inspect "$1" | awk '$1 == ".text" && !found++ { print $3, $5 }')
  [[ -n $rva && -n $size ]] || return 1
  printf '0x%x+0x%x\n' $(($3 + rva)) "$size"
}

# Sets window and fwcfg from window file $1's order note: where the module's window starts and
# where the first fw_cfg access lies (0 for none), in the boot's CPU accesses.
read_order() {
  read -r window fwcfg <<<"$(window_note "$1" order)"
}

# What window file $1 shows of the placement, as two report lines: the order against the first
# fw_cfg access, and the module's code run at rebased base $2 (code range $3) or not.
placement_lines() {
  local window fwcfg exec blocks first
  read_order "$1"
  if ((fwcfg == 0)); then
    echo "PEI order: the module's probe read is CPU access $window of the boot; no fw_cfg access"
  elif ((window < fwcfg)); then
    echo "PEI order: the module's probe read is CPU access $window of the boot, before the" \
      "firmware's first fw_cfg access ($fwcfg)"
  else
    echo "PEI order: the module's probe read is CPU access $window of the boot, after the" \
      "firmware's first fw_cfg access ($fwcfg)"
  fi
  exec=$(window_note "$1" exec)
  blocks=${exec% *}
  first=${exec#* }
  if [[ -n $exec ]]; then
    echo "in place: $blocks blocks of the module's code ran at its rebased address" \
      "(image base $2, code $3), the first at $first"
  else
    echo "in place: none of the module's code ran at its rebased address (image base $2, code" \
      "$3): the PEI core ran a copy"
  fi
}

# What is wrong with an early placement, from window file $1: nothing when the module ran
# before the first fw_cfg access and its code ran at its rebased address.
early_fault() {
  local window fwcfg faults=()
  read_order "$1"
  ((fwcfg == 0 || window < fwcfg)) ||
    faults+=("the module ran after the firmware's first fw_cfg access, not first in PEI")
  [[ -n $(window_note "$1" exec) ]] || faults+=("the module's code did not run in place")
  if ((${#faults[@]} > 0)); then
    local joined
    joined=$(printf '; %s' "${faults[@]}")
    echo "${joined:2}"
  fi
}
