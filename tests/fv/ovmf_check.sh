#!/usr/bin/env bash
# fv-tool on a 32-bit OVMF code image of this machine: the module's file goes into the PEI
# volume, fv-tool list shows it with its TE image rebased to where it lies, UEFIExtract (a
# second reader, when given) lists it as a PEI module with a TE image section, extract gives its
# TE image at that base, and a second insert of the same file is refused.
# Usage: ovmf_check.sh FV-TOOL IMAGE.te CODE.fd [UEFIEXTRACT]
set -euo pipefail

fv_tool=$1 image=$2 code=$3 extract=${4:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

"$fv_tool" ffs "$image" "$work/oemcom.ffs"
"$fv_tool" insert "$code" "$work/oemcom.ffs" "$work/patched.fd" | tee "$work/insert.txt"
base=$(sed -n 's/.*TE image base \(0x[0-9a-f]*\).*/\1/p' "$work/insert.txt")
volume=$(sed -n 's/.* into volume \([0-9a-f-]*\) at .*/\1/p' "$work/insert.txt")

# The file's line and the lines indented below it.
"$fv_tool" list "$work/patched.fd" >"$work/list.txt"
module=$(awk 'function indent() { return match($0, /[^ ]/) }
              /file 56f26cba-0844-463d-87ba-395d00c5c762 at / { on = indent(); print; next }
              on && indent() <= on { exit }
              on { print }' "$work/list.txt")
echo "fv-tool list:"
sed 's/^/  /' <<<"$module"
grep -q ': PEIM (0x06), .*"OemInitCom"$' <<<"$module" || fail "fv-tool list shows no PEIM OemInitCom"
grep -q ": TE image (0x12), .*, image base $base, machine 0x14c$" <<<"$module" ||
  fail "fv-tool list shows no TE section with image base $base"

"$fv_tool" extract "$work/patched.fd" 56f26cba-0844-463d-87ba-395d00c5c762 "$work/placed.te" \
  >"$work/extract.txt"
grep -q "TE image, 0x[0-9a-f]* bytes, image base $base\$" "$work/extract.txt" ||
  fail "fv-tool extract gives no TE image at $base: $(cat "$work/extract.txt")"

# The volume's images, the module's now among them, still agree on where it runs.
"$fv_tool" list "$code" >"$work/before.txt"
agree() {
  sed -n "s/.*volume $volume at .*, runs in place at \(0x[0-9a-f]*\) (from \([0-9]*\) images)\$/\1 \2/p" "$1"
}
read -r xip count <<<"$(agree "$work/before.txt")"
echo "volume $volume: runs in place at $xip, $(agree "$work/list.txt" | cut -d' ' -f2) images agree"
[[ -n $xip && $(agree "$work/list.txt") == "$xip $((count + 1))" ]] ||
  fail "the volume's images and the module's disagree on its base: $(agree "$work/list.txt")"

if [[ -n $extract ]]; then
  (cd "$work" && "$extract" patched.fd report >/dev/null) || fail "UEFIExtract exit status $?"
  report=$(awk '/ 56F26CBA-0844-463D-87BA-395D00C5C762 / { on = 1; print; next }
                on && !/^ *Section / { exit }
                on { print }' "$work/patched.fd.report.txt")
  echo "UEFIExtract:"
  sed 's/^/  /' <<<"$report"
  grep -q '^ *File *| PEI module *|.*| OemInitCom$' <<<"$report" ||
    fail "UEFIExtract does not list the file as a PEI module named OemInitCom"
  grep -q '^ *Section *| TE image *|' <<<"$report" ||
    fail "UEFIExtract lists no TE image section in the file"
fi

status=0
again=$("$fv_tool" insert "$work/patched.fd" "$work/oemcom.ffs" "$work/again.fd" 2>&1) || status=$?
[[ $status == 1 && $again == *"give --replace to swap it" && ! -e $work/again.fd ]] ||
  fail "a second insert gave exit status $status: $again"

((failures == 0)) || exit 1
echo "PASS"
