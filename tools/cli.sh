# shellcheck shell=bash
# Command-line values as run.sh, test.sh and boot.sh take them, in the same forms te-run takes
# (tools/common/parse_number.h): a whole number, decimal, 0x hexadecimal or 0 octal, with
# nothing before or after the digits.

# The most busy polls before each byte that te-run models, as tools/platform/platform_options.h
# states it; unset where that header is not (the installed oemcom-boot's copy, which needs none).
# shellcheck disable=SC2034 # used by the scripts that source this file
if [[ -f "$(dirname "${BASH_SOURCE[0]}")/platform/platform_options.h" ]]; then
  MAX_BUSY_POLLS=$(sed -n 's/^constexpr uint64_t MAX_BUSY_POLLS = \([0-9]*\);.*/\1/p' \
    "$(dirname "${BASH_SOURCE[0]}")/platform/platform_options.h")
  readonly MAX_BUSY_POLLS
fi

# number_value TEXT MAX: prints TEXT's value; fails, printing nothing, unless TEXT is such a
# number no larger than MAX.
number_value() {
  local text=$1 digits
  case $text in
  0[xX]*) [[ $text =~ ^0[xX]0*([0-9a-fA-F]{1,15})$ ]] || return 1 ;;
  0*) [[ $text =~ ^0+([0-7]{0,15})$ ]] || return 1 ;;
  *) [[ $text =~ ^([1-9][0-9]{0,17})$ ]] || return 1 ;;
  esac
  digits=${BASH_REMATCH[1]:-0}
  case $text in
  0[xX]*) digits=$((16#$digits)) ;;
  0*) digits=$((8#$digits)) ;;
  esac
  ((digits <= $2)) || return 1
  echo "$digits"
}
