#!/usr/bin/env bash
# Prints the module's figures and checks them against their budgets; exits 1 when one is
# exceeded. Builds what it measures first, for the board BUILD_DIR is configured for.
# Usage: tools/report.sh [BUILD_DIR]   (default: build in the source tree; any other folder
# is taken from where the command is run)
set -euo pipefail
build=${1:-$(dirname "$0")/../build}
mkdir -p "$build"
build=$(cd "$build" && pwd)
cd "$(dirname "$0")/.."

readonly BUDGET_TE_BYTES=3032
readonly BUDGET_STACK_BYTES=2150
readonly BUDGET_INSTRUCTIONS_PROBE_FF=430
readonly BUDGET_INSTRUCTIONS_PROBE_00=500
readonly MINIMUM_COVERAGE_PERCENT=95

tools/deps.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" --target image te-tool te-run image-coverage module_tests >/dev/null
# shellcheck source-path=SCRIPTDIR source=qemu/board_values.sh
source tools/qemu/board_values.sh
read_board "$build/board/board.env" || { echo "report.sh: $board_error" >&2; exit 2; }
baud=$(((115200 + board_uart_divisor / 2) / board_uart_divisor))
# A start bit, the data bits, a parity bit unless there is none, the stop bits.
parity_bits=1
[[ ${board_uart_line:1:1} != N ]] || parity_bits=0
bits_per_character=$((1 + ${board_uart_line:0:1} + parity_bits + ${board_uart_line:2:1}))

image=$build/image/oemcom.te
map=$build/image/oemcom.map
inspect=$("$build/tools/te/te-tool" inspect "$image")

te_bytes=$(stat -c %s "$image")
text_bytes=$(($(awk '$1 == ".text" && $2 == "RVA" { print $5; exit }' <<<"$inspect")))
# The link map's first constant-data contribution marks where code ends inside .text.
code_bytes=$((16#$(awk '$3 == ".rdata" { split($1, a, ":"); print a[2]; exit }' \
  "$map")))
data_bytes=$((text_bytes - code_bytes))
relocations=$(awk '/^Relocations/ { n = 0 } / HIGHLOW / { n++ } END { print n }' <<<"$inspect")

run() { "$build/tools/runner/te-run" --probe "$1" --map "$build/image/oemcom.map" "$image"; }
value() { awk -v key="$1" 'index($0, key) == 1 { print $(NF - ($NF == "bytes")); exit }'; }
run_ff=$(run 0xff)
run_00=$(run 0x00)
instructions_ff=$(value "instructions:" <<<"$run_ff")
instructions_00=$(value "instructions:" <<<"$run_00")
stack=$(printf '%s\n%s\n' "$(value "peak stack:" <<<"$run_ff")" "$(value "peak stack:" <<<"$run_00")" |
  sort -n | tail -1)
wire_characters=$(sed -n 's/^serial line (\([0-9]*\) bytes).*/\1/p' <<<"$run_00")
wire_us=$((wire_characters * bits_per_character * 1000000 / baud))

# The image's code the tests execute: te-run's entry runs for each probe value and busy count
# the tests use, and every format row on the image's FormatText (module_tests), each executed
# instruction counted once.
executed=$(mktemp)
trap 'rm -f "$executed"' EXIT
for probe in 0xff 0x00 0xfe; do
  for busy in 0 3; do
    "$build/tools/runner/te-run" --probe "$probe" --busy "$busy" --executed "$executed" \
      "$image" >/dev/null
  done
done
status=0
if ! OEMCOM_EXECUTED=$executed "$build/tests/module_tests" --gtest_brief=1 >/dev/null; then
  echo "module_tests fails: its format rows do not all pass on $image" >&2
  status=1
fi
coverage=$("$build/tools/runner/image-coverage" "$map" "$executed")
covered=$(sed -n '1s/.*: \([0-9]*\) of \([0-9]*\) (\(.*\)%)$/\1 \2 \3/p' <<<"$coverage")
read -r covered_bytes code_total covered_percent <<<"$covered"

line() { # name, value, unit, budget (optional)
  local verdict=""
  if [ -n "${4:-}" ]; then
    if [ "$2" -le "$4" ]; then verdict="(budget $4: ok)"; else verdict="(budget $4: OVER)"; status=1; fi
  fi
  printf '%-40s %8s %-8s %s\n' "$1" "$2" "$3" "$verdict"
}
echo "figures of $image (board $board_name)"
line "TE image" "$te_bytes" bytes "$BUDGET_TE_BYTES"
line ".text code" "$code_bytes" bytes
line ".text constant data" "$data_bytes" bytes
line "relocations (HIGHLOW)" "$relocations" ""
line "entry instructions, probe 0xFF" "$instructions_ff" "" "$BUDGET_INSTRUCTIONS_PROBE_FF"
line "entry instructions, probe 0x00" "$instructions_00" "" "$BUDGET_INSTRUCTIONS_PROBE_00"
line "peak stack" "$stack" bytes "$BUDGET_STACK_BYTES"
printf '%-40s %8s %-8s %s\n' "banner on the wire at $baud $board_uart_line" \
  "$((wire_us / 1000)).$(printf '%03d' $((wire_us % 1000)))" ms \
  "($wire_characters characters x $bits_per_character bits)"
if [ $((covered_bytes * 100)) -ge $((MINIMUM_COVERAGE_PERCENT * code_total)) ]; then
  verdict="(minimum $MINIMUM_COVERAGE_PERCENT: ok)"
else
  verdict="(minimum $MINIMUM_COVERAGE_PERCENT: UNDER)"
  status=1
fi
printf '%-40s %8s %-8s %s\n' "code bytes the tests execute" "$covered_percent" "%" \
  "$covered_bytes of $code_total $verdict"
echo "code bytes no test executes, read from the link map (linked address, bytes, place):"
unexecuted=$(sed -n '3,$p' <<<"$coverage")
sed 's/^/  /' <<<"${unexecuted:-  none}"

# te-run's "instructions by function" lines, the last of its output.
by_function() { sed -n '/^instructions by function/,$p' | sed '1d; s/^/  /'; }
echo "the instructions spent in each function, read from the link map"
echo "  probe 0xFF:"
by_function <<<"$run_ff"
echo "  probe 0x00:"
by_function <<<"$run_00"
exit $status
