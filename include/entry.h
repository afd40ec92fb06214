// The module's entry point and the Super I/O programming it performs.
#pragma once

#include <cstdint>

#include "efi_types.h"
#include "platform_ports.h"

// SIO_INIT_PAIRS (register, value) pairs, written in order through SIO_INDEX_PORT and
// SIO_DATA_PORT: six on the reference board.
extern const uint8_t SioInitTable[2 * SIO_INIT_PAIRS];

extern "C" {
// Called once by the module dispatcher. Reads neither argument; always returns EFI_SUCCESS.
EFI_STATUS EFIAPI OemInitComEntry(void *ImageHandle, void *SystemTable);
}
