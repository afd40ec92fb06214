// Hands the UART at the board's base to the module for its run. Firmware that has a Super I/O
// device there runs its own serial and terminal drivers on it (Debian's OVMF runs its console on
// the 16550s at 0x3F8 and 0x2F8): they send console text to it and read its modem registers
// from a timer callback, and those accesses would mix with the module's own.
#pragma once

#include <cstdint>

#include "efi_types.h"
#include "uefi_boot.h"

// FirstIoPort's answer for a list with no I/O port descriptor.
constexpr uint32_t NO_IO_PORT = 0x10000;

// The base of the first I/O port descriptor (a range's minimum base) or fixed-location I/O port
// descriptor in an ACPI resource list, read up to its end tag; NO_IO_PORT when there is none
// among its first 64 descriptors.
uint32_t FirstIoPort(const uint8_t *Resources);

// Disconnects every driver from each Super I/O device whose first I/O port is Base, and sets
// *Released to how many such devices there were. EFI_SUCCESS also when there is none, or no
// Super I/O protocol at all; otherwise the status of the failing service.
EFI_STATUS ReleaseUart(EFI_BOOT_SERVICES *Boot, uint16_t Base, uint32_t *Released);
