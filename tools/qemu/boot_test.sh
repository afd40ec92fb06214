#!/usr/bin/env bash
# Checks boot.sh's argument handling and the output decoding in outputs.sh on crafted inputs,
# without booting QEMU.
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
2|image not found: $scratch/none.te|--image $scratch/none.te
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

# Probe value | Super I/O stream the module must write.
while IFS='|' read -r probe stream; do
  expect "expected_sio $probe" "$stream" "$(expected_sio "$probe")"
done <<EOF
0xff|
0x00|$SIO_STREAM
0xfe|$SIO_STREAM
0x7f|$SIO_STREAM
EOF

# Console text (printf %b) | loaded name | "ok" when it reports a successful load.
prompt='\e[1m\e[33mFS0:\\> \e[0m\e[37m'
while IFS='|' read -r console name verdict; do
  printf '%b' "$console" >"$scratch/console.log"
  reply=$(load_reply "$scratch/console.log" "$name")
  load_succeeded "$reply" && result=ok || result=fail
  expect "load of $name in [$console]" "$verdict" "$result"
done <<EOF
${prompt}load a.te\r\nImage 'FS0:\\\\a.te' loaded at 400000 - Success\r\n${prompt}reset -s\r\n|a.te|ok
${prompt}load a.te\r\nImage 'FS0:\\\\a.te' is not an image.\r\n${prompt}reset -s\r\n|a.te|fail
${prompt}load a.te\r\nImage 'FS0:\\\\a.te' loaded at 400000 - Unsupported\r\n${prompt}reset -s\r\n|a.te|fail
${prompt}load a.te\r\nload: File not found - 'a.te'\r\n${prompt}reset -s\r\n|a.te|fail
${prompt}load b.te\r\nImage 'FS0:\\\\b.te' loaded at 1000 - Success\r\n${prompt}reset -s\r\n|a.te|fail
Shell> fs0:\r\n${prompt}reset -s\r\n|a.te|fail
EOF

if ((failures > 0)); then
  echo "$failures case(s) failed"
  exit 1
fi
echo "all cases passed"
