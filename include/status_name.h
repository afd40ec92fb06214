// Names of EFI_STATUS values.
#pragma once

#include "efi_types.h"

extern "C" {
// The constant "EFI_..." name of Status, or null when the value has no name.
const char *StatusToName(EFI_STATUS Status);
}
