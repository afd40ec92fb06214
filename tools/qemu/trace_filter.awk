# Cuts the module's port accesses out of QEMU's trace log (events memory_region_ops_read,
# memory_region_ops_write and serial_update_parameters, log backend) as it streams past.
#
# Input lines, optionally prefixed "PID@SECONDS:" (-msg timestamp=on):
#   memory_region_ops_write cpu 0 mr 0x55d0c0ffee00 addr 0x243 value 0x87 size 1 name 'serial'
#   serial_update_parameters baudrate=115200 parity='N' data=8 stop=2
#
# The board's ports come as -v probe=0x259 (the probe port), -v uart=0x240 (the module's UART
# base) and -v ports="0x4e 0x4f 0xed" (the Super I/O index and data ports and the delay port).
# -v shared_uart=1 says that the firmware drives that UART itself before the module runs (as
# Debian's OVMF does the one at 0x2F8): its THR writes then count as the firmware's bytes rather
# than as accesses outside the window.
#
# Which region is which. The firmware's console UART (COM1, 0x3F8) and the module's UART are
# the same device model with the same region name, so names cannot tell them apart. Before the
# CPU starts, boot.sh reads one register of each of the module's devices from the QEMU monitor:
# the probe port, then the UART's scratch register at uart + 7 (reads with no side effect;
# marker_ports in outputs.sh). Those reads have no CPU (cpu -1); the N-th one names the region,
# by pointer, behind the N-th marker port, and the difference between the port and the traced
# address (zero when QEMU traces absolute port numbers, as 7.2 and 10 do) maps every later
# address in that region to its port. The root I/O region 'io' answers every port no device
# claims; its addresses are port numbers.
#
# Kept: accesses by a CPU to the marked regions (the probe port; the UART's 8 registers) and to
# unassigned ports (the Super I/O ports, the delay port, and anything else a module should not
# touch). Dropped: every other device, such as COM1, timers and the PIC, which firmware timer
# callbacks may touch while the module runs.
#
# The window runs from the first read of the probe port to the last write of the UART's THR
# (offset 0 with LCR bit 7, DLAB, clear). Written at the end, one access a line:
#   R 0x0259 0x00          direction, port, value (one byte)
#   # line: 115200 8N2     the 16550 model's decoding after the last LCR write in the window
#   # dropped: N           accesses to other devices inside the window
#   # before: N            THR writes to a shared UART before the window: bytes the firmware sent
#   # error: TEXT          a trace the comparison cannot judge (missing marker, wide access), or
#                          accesses to the module's ports (the probe port, the Super I/O and
#                          delay ports, the UART's registers unless shared) before or after the
#                          window: the whole trace must hold no others
#   # order: W F           where the window starts (W) and where the firmware's first fw_cfg
#                          access lies (F, 0 for none), counted in the boot's CPU accesses to
#                          any device: the platform PEIM reads fw_cfg first, so W < F puts the
#                          module before it
#   # exec: N PC           with -d exec and -dfilter on the module's code (boot.sh --flash):
#                          N translation blocks run there, the first at PC

function hex_value(text, digits, value, i) {
  digits = tolower(substr(text, 3))
  value = 0
  for (i = 1; i <= length(digits); i++) {
    value = value * 16 + index("0123456789abcdef", substr(digits, i, 1)) - 1
  }
  return value
}

# The low byte of a traced value, as two hex digits ("0xffffffffffffffff" -> "ff").
function low_byte(text) {
  text = "0" substr(text, 3)
  return tolower(substr(text, length(text) - 1))
}

function region_name(line) {
  line = substr(line, index(line, " name '") + 7)
  return substr(line, 1, length(line) - 1)
}

# A port the module's script touches: the probe port, the Super I/O's index and data ports,
# the delay port, and the UART's registers.
function module_port(port) {
  return port in script_port || (port >= uart_port && port < uart_port + 8)
}

# Counts an access outside the window, remembering the first: "before" or "after".
function outside(side, text) {
  if (!outside_count[side]++) {
    outside_first[side] = text
  }
}

BEGIN {
  probe_port = hex_value(probe)
  uart_port = hex_value(uart)
  marker_count = 2
  marker_port[1] = probe_port
  marker_port[2] = uart_port + 7
  script_port[probe_port] = 1
  split(ports, listed, " ")
  for (i in listed) {
    script_port[hex_value(listed[i])] = 1
  }
  marked = 0
  in_window = 0
  before = 0
  kept = 0
  last_thr = 0
  dlab = 0
  after_lcr = 0
}

/^[0-9]+@[0-9.]+:/ {
  sub(/^[0-9]+@[0-9.]+:/, "")
}

# The firmware's delay loops read the ACPI PM timer without end: nine lines in ten of a boot's
# trace. A CPU's read of it is counted and passed over before the fields are split.
/^memory_region_ops_read cpu [0-9]+ .* name 'acpi-tmr'$/ {
  boot_accesses++
  if (in_window) {
    dropped++
  }
  next
}

# -d exec: "Trace 0: 0x7f... [00000000/0082584a/004002b0/ff000000]", the second field in
# brackets being the block's guest address. -dfilter passes only the module's own code.
$1 == "Trace" {
  if (!exec_count++) {
    split($4, block, "/")
    exec_first = sprintf("0x%08x", hex_value("0x" block[2])) # 16 digits under x86_64
  }
  next
}

$1 == "serial_update_parameters" {
  # baudrate=115200 parity='N' data=8 stop=2 -> 115200 8N2
  if (after_lcr) {
    split($0, setting, /[ =']+/)
    line_setting[kept] = setting[3] " " setting[7] setting[5] setting[9]
  }
  after_lcr = 0
  next
}

$1 != "memory_region_ops_read" && $1 != "memory_region_ops_write" {
  next
}

{
  after_lcr = 0
  direction = $1 == "memory_region_ops_read" ? "R" : "W"
  region = $5
  if ($3 == "-1") {
    if (direction == "R" && marked < marker_count) {
      marked++
      offset[region] = marker_port[marked] - hex_value($7)
    }
    next
  }
  boot_accesses++
  if (!first_fwcfg && index($0, " name 'fwcfg")) {
    first_fwcfg = boot_accesses
  }
  if (region in offset) {
    port = hex_value($7) + offset[region]
  } else if ($NF == "'io'" && region_name($0) == "io") {
    port = hex_value($7)
  } else {
    if (in_window) {
      dropped++
    }
    next
  }
  value = low_byte($9)
  if (!in_window) {
    uart_access = port >= uart_port && port < uart_port + 8
    if (shared_uart && direction == "W" && port == uart_port + 3) {
      dlab = hex_value("0x" value) >= 128
    } else if (shared_uart && direction == "W" && port == uart_port && !dlab) {
      before++
    }
    if (direction != "R" || port != probe_port) {
      if (module_port(port) && !(shared_uart && uart_access)) {
        outside("before", sprintf("%s 0x%04x 0x%s", direction, port, value))
      }
      next
    }
    in_window = 1
    window_start = boot_accesses
    dropped = 0
  }
  access[++kept] = sprintf("%s 0x%04x 0x%s", direction, port, value)
  if ($11 != "1") {
    wide[kept] = sprintf("%d-byte %s of port 0x%04x in the window", $11,
                         direction == "R" ? "read" : "write", port)
  }
  if (direction == "W" && port == uart_port + 3) {
    dlab = hex_value("0x" value) >= 128
    after_lcr = 1
  } else if (direction == "W" && port == uart_port && !dlab) {
    last_thr = kept
    dropped_at_thr = dropped
  }
}

END {
  if (marked < marker_count) {
    errors[++error_count] = sprintf("no monitor read of port 0x%x in the trace", \
                                    marker_port[marked + 1])
  }
  if (!in_window) {
    errors[++error_count] = sprintf("no read of port 0x%x: the module did not run", probe_port)
  }
  if (last_thr == 0) {
    last_thr = kept
    dropped_at_thr = dropped
  }
  for (i = 1; i <= last_thr; i++) {
    print access[i]
    if (i in wide) {
      errors[++error_count] = wide[i]
    }
  }
  for (i = last_thr + 1; i <= kept; i++) {
    split(access[i], field, " ")
    if (module_port(hex_value(field[2]))) {
      outside("after", access[i])
    }
  }
  split("before after", sides, " ")
  for (i = 1; i <= 2; i++) {
    if (outside_count[sides[i]]) {
      errors[++error_count] = sprintf("%d access%s to the module's ports %s the window, the first %s",
                                      outside_count[sides[i]], outside_count[sides[i]] == 1 ? "" : "es",
                                      sides[i], outside_first[sides[i]])
    }
  }
  for (i = last_thr; i >= 1; i--) {
    if (i in line_setting) {
      print "# line: " line_setting[i]
      break
    }
  }
  print "# dropped: " (dropped_at_thr + 0)
  print "# before: " before
  print "# order: " (window_start + 0) " " (first_fwcfg + 0)
  if (exec_count) {
    print "# exec: " exec_count " " exec_first
  }
  for (i = 1; i <= error_count; i++) {
    print "# error: " errors[i]
  }
}
