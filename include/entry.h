// The module's entry point and the Super I/O programming it performs.
#pragma once

#include <cstdint>

#include "efi_types.h"

// Six (register, value) pairs, written in order through SIO_INDEX_PORT and SIO_DATA_PORT.
extern const uint8_t SioInitTable[12];

extern "C" {
// Called once by the module dispatcher. Reads neither argument; always returns EFI_SUCCESS.
EFI_STATUS EFIAPI OemInitComEntry(void *ImageHandle, void *SystemTable);
}
