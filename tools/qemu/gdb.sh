# shellcheck shell=bash
# boot.sh --gdb and --gdb-batch: the boot under gdb at source level. QEMU starts stopped with
# its gdb stub on a free local port; a gdb command file connects, loads the symbols of the
# module's debug twin (image/oemcom.debug.efi, beside the image) at the module's run-time
# address and stops at OemInitComEntry. Sourced by boot.sh, after outputs.sh; boot.sh calls
# gdb_prepare once its options are read, puts gdb_qemu_args on QEMU's command line and
# monitor_go after the monitor's marker reads, and calls gdb_attach once QEMU runs.
#
# Where the module runs:
# - through the loader: LoadImage places it. The loader, asked by a device at its debugger port
#   that reads the request value, prints "image at 0x..., debugger flag at 0x..." (its
#   loaded-image ImageBase, the TE header's address) and spins until the flag is 0; gdb_attach
#   reads that line from the console, and the command file clears the flag.
# - in the flash, late: the PEI core copies the TE image out of the PEI volume (where fv-tool
#   placed it, at the base fv-tool reports) into memory it allocated after memory was found,
#   relocates it there and calls it. The command file watches for reads of the entry point's
#   first byte in the volume: only the loader reads code bytes, to copy them. At each such stop
#   it searches memory outside the volume for the module's first 16 TE header bytes (the
#   signature up to BaseOfCode: ImageBase, which a loader may rewrite, comes after them); the
#   copy's header, copied before the code, is the one match. The breakpoint at the entry then
#   holds through the relocation: QEMU keeps breakpoints outside guest memory.
# - in the flash, early (boot.sh's early=1): in place in the volume, at the base fv-tool reports.
#
# boot.sh's own variables read here: here, image, flash, early, base (the TE image base fv-tool
# reported), timeout, runner, work.
# shellcheck disable=SC2154

readonly GDB_DEBUGGER_PORT=0x0404   # the loader's DEBUGGER_PORT (loader/debugger_wait.h)
readonly GDB_DEBUGGER_REQUEST=0xdb  # its DEBUGGER_REQUEST
readonly GDB_MEMORY_TOP=0x08000000  # QEMU's default 128 MiB of RAM, the memory searched
readonly GDB_MEMORY_BOTTOM=0x00100000

gdb_mode=            # interactive or batch; empty: no debugger
gdb_script=          # --gdb-batch's command file
gdb_qemu_args=()
# shellcheck disable=SC2034 # boot.sh sends it to the monitor
monitor_go=cont

# The little-endian unsigned integer of $3 bytes at offset $2 of file $1, in decimal.
gdb_file_number() {
  local bytes value=0 index
  read -r -a bytes <<<"$(od -An -v -tx1 -j "$2" -N "$3" "$1")"
  ((${#bytes[@]} == $3)) || return 1
  for ((index = $3 - 1; index >= 0; index--)); do
    value=$((value * 256 + 16#${bytes[index]}))
  done
  echo "$value"
}

# Checks the options and the files gdb needs, picks the gdb stub's port, and sets
# gdb_qemu_args and monitor_go. Dies (boot.sh's die) on a problem.
gdb_prepare() {
  [[ -n $gdb_mode ]] || return 0
  [[ $gdb_mode != batch ]] || require_file "gdb command file" "$gdb_script" "--gdb-batch"
  gdb_twin=${image%.te}.debug.efi
  require_file "debug twin" "$gdb_twin" "the build writes it beside the image"
  "$here/../deps.sh" gdb
  gdb_read_headers || die "the debug twin's PE headers are cut short: $gdb_twin"
  gdb_port=$(gdb_free_port) || die "no free local TCP port for QEMU's gdb stub"
  gdb_qemu_args=(-gdb "tcp:127.0.0.1:$gdb_port")
  if ((flash)); then
    # shellcheck disable=SC2034 # gdb starts the machine, after its watch or breakpoint is set
    monitor_go=
  else
    gdb_qemu_args+=(-chardev "null,id=debugger" -device
      "isa-debugcon,iobase=$GDB_DEBUGGER_PORT,readback=$GDB_DEBUGGER_REQUEST,chardev=debugger")
  fi
}

# The numbers the command file needs. From the shipped image's TE header: StrippedSize less
# its own 40 bytes (RVA 0 lies that far before the header), the entry point's and .text's
# (BaseOfCode) RVAs and the first 16 bytes. From the twin's PE headers: .text's link-time
# address, ImageBase plus the first section's RVA.
gdb_read_headers() {
  local lfanew optional_size twin_base twin_text_rva
  gdb_displacement=$(($(gdb_file_number "$image" 6 2) - 40))
  gdb_entry_rva=$(gdb_file_number "$image" 8 4)
  gdb_text_rva=$(gdb_file_number "$image" 12 4)
  gdb_header_hex=$(od -An -v -tx1 -N 16 "$image" | tr -d ' \n')
  lfanew=$(gdb_file_number "$gdb_twin" 60 4) || return 1
  optional_size=$(gdb_file_number "$gdb_twin" $((lfanew + 20)) 2) || return 1
  twin_base=$(gdb_file_number "$gdb_twin" $((lfanew + 52)) 4) || return 1
  twin_text_rva=$(gdb_file_number "$gdb_twin" $((lfanew + 24 + optional_size + 12)) 4) || return 1
  gdb_twin_text=$((twin_base + twin_text_rva))
}

# A local TCP port nothing listens on, from the dynamic range.
gdb_free_port() {
  local port tries
  for ((tries = 0; tries < 50; tries++)); do
    port=$((49152 + RANDOM % 16000))
    # A refused connection means no listener there.
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
      echo "$port"
      return 0
    fi
  done
  return 1
}

# The command file's common part: connect, then the symbols at run-time base $1 (a gdb
# expression: the address the module's RVA 0 has), then the breakpoint.
gdb_symbols_and_break() {
  cat <<EOF
set \$oemcom_base = $1
printf "module image base 0x%08x, .text at 0x%08x\\n", \$oemcom_base, \$oemcom_base + $gdb_text_rva
eval "add-symbol-file ${gdb_twin//%/%%} -o %lld", \\
  (long long) (\$oemcom_base + $gdb_text_rva - $gdb_twin_text)
break OemInitComEntry
EOF
}

# The late flash boot's search for the PEI core's copy (gdb_find_copy.py), the volume's copy
# of the TE header being at $1.
gdb_find_copy() {
  cat <<EOF
source $here/gdb_find_copy.py
python gdb.set_convenience_variable("oemcom_header", find_module_copy(\\
  $(($1 - gdb_displacement + gdb_entry_rva)), $1, "$gdb_header_hex", $gdb_displacement, \\
  $GDB_MEMORY_BOTTOM, $GDB_MEMORY_TOP))
if \$oemcom_header == 0
  echo the PEI core's copy of the module was not found\n
  quit 1
end
printf "the PEI core's copy of the module: TE header at 0x%08x\n", \$oemcom_header
EOF
}

# Waits until the console shows the loader's report; prints "IMAGE FLAG".
gdb_loader_report() {
  local deadline=$((SECONDS + timeout)) line
  while ((SECONDS < deadline)) && kill -0 "$runner" 2>/dev/null; do
    line=$(console_text "$work/console.log" 2>/dev/null | sed -n -E \
      's/.*oemcom-boot: image at (0x[0-9a-f]+), debugger flag at (0x[0-9a-f]+).*/\1 \2/p' |
      head -n 1)
    [[ -z $line ]] || {
      echo "$line"
      return 0
    }
    sleep 0.2
  done
  return 1
}

# Writes the command file for the boot that runs and starts gdb on it: in batch mode with the
# user's commands after it, waiting for gdb; otherwise it prints the command to run. The
# flash boot's base is the one fv-tool reported ($base).
gdb_attach() {
  [[ -n $gdb_mode ]] || return 0
  local file=$work/oemcom.gdb report image_at flag_at
  {
    echo "set pagination off"
    echo "set confirm off"
    echo "source $here/gdb_unwind.py"
    echo "target remote 127.0.0.1:$gdb_port"
  } >"$file"
  if ((!flash)); then
    report=$(gdb_loader_report) || {
      echo "FAIL: the loader did not report the module's address"
      exit 1
    }
    read -r image_at flag_at <<<"$report"
    {
      printf '%s\n' "if *(unsigned short *) $image_at != 0x5a56" \
        "  echo the loader's ImageBase holds no TE header\\n" "  quit 1" "end"
      gdb_symbols_and_break "$image_at - $gdb_displacement"
      echo "set var *(volatile unsigned int *) $flag_at = 0"
    } >>"$file"
  else
    if ((early)); then
      gdb_symbols_and_break "$base" >>"$file"
    else
      {
        gdb_find_copy $((base + gdb_displacement))
        gdb_symbols_and_break "\$oemcom_header - $gdb_displacement"
      } >>"$file"
    fi
  fi
  echo "continue" >>"$file"
  if [[ $gdb_mode == interactive ]]; then
    echo "gdb: run  gdb -x $file  (QEMU's gdb stub: 127.0.0.1:$gdb_port)"
    return 0
  fi
  echo "gdb (batch, $gdb_script):"
  local status=0
  timeout --kill-after=5 "$timeout" gdb -nx -batch -x "$file" -x "$gdb_script" -ex detach \
    >"$work/gdb.log" 2>&1 </dev/null || status=$?
  grep -v "warning: ignoring section flag IMAGE_SCN_MEM_NOT_PAGED" "$work/gdb.log" | sed 's/^/  /'
  echo "gdb exit status $status"
}
