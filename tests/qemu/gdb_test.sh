#!/usr/bin/env bash
# Runs boot.sh with --gdb-batch gdb_checks.gdb and the given arguments, and checks what gdb
# printed: the stop at OemInitComEntry's first source line (with clang 19 that line is the
# probe read, whose PortRead8 is inlined there, so gdb names port_io_ia32.cpp for the
# instruction and oem_init_com.cpp for the frame), the call chain from FormatTextV,
# the banner as DebugPrint's format, and OemInitComEntry's result 0; and boot.sh's PASS.
# Usage: gdb_test.sh BOOT.SH [boot.sh argument...]
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
boot=$1
shift
output=$("$boot" --gdb-batch "$here/gdb_checks.gdb" "$@" 2>&1)
status=$?
echo "$output"
failures=0
# What gdb must print | what it shows.
while IFS='|' read -r pattern what; do
  if ! grep -Eq -- "$pattern" <<<"$output"; then
    echo "gdb_test.sh: FAIL: $what (no line matches '$pattern')"
    failures=$((failures + 1))
  fi
done <<'EOF'
^  Breakpoint 1, OemInitComEntry \(.*\) at .*entry/oem_init_com\.cpp:[0-9]+$|the stop at OemInitComEntry, in its source
^  Line [0-9]+ of ".*\.cpp" starts at address 0x[0-9a-f]+ <OemInitComEntry\(void\*, void\*\)> |the stop at the entry's first instruction, where its first source line starts
^  #0  FormatTextV \(|bt from FormatTextV: FormatTextV
^  #1  0x[0-9a-f]+ in DebugPrint \(|bt from FormatTextV: DebugPrint
^  #2  0x[0-9a-f]+ in OemInitComEntry \(|bt from FormatTextV: OemInitComEntry
^  \$[0-9]+ = 0x[0-9a-f]+ <[^>]*> "\\nOEM_Init_COM OK\\n"$|the format DebugPrint passes
^  Value returned is \$[0-9]+ = 0$|finish out of OemInitComEntry: its result 0
^gdb exit status 0$|gdb's exit status
^PASS: |the boot's verdict
EOF
((status == 0)) || {
  echo "gdb_test.sh: FAIL: boot.sh exit status $status"
  failures=$((failures + 1))
}
((failures == 0))
