// Holding the loaded module for a debugger (boot.sh --gdb). The module's run-time address is
// known only once LoadImage has placed it; the loader reports it on the firmware console and
// then spins until the debugger, attached by then, clears a flag on the loader's stack. The
// flag, not a breakpoint, makes the wait: the debugger learns the address from the console
// while the machine runs, so the module must not start before the debugger is there.
#pragma once

#include <cstdint>

#include "uefi_boot.h"

// boot.sh --gdb puts a device at DEBUGGER_PORT that reads DEBUGGER_REQUEST; without it the
// port is unassigned and reads 0xFF, and the loader does not wait.
constexpr uint16_t DEBUGGER_PORT = 0x0404;
constexpr uint8_t DEBUGGER_REQUEST = 0xDB;

// When a debugger is asked for: prints "oemcom-boot: image at 0x..., debugger flag at 0x..."
// with Module's loaded-image ImageBase and the flag's address, and returns once the debugger
// has written 0 to the 32-bit flag. Otherwise returns at once.
void AwaitDebugger(EFI_BOOT_SERVICES *Boot, EFI_HANDLE Module,
                   EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *ConOut);
