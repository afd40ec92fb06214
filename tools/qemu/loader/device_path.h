// Device path of a file on the volume the loader came from.
#pragma once

#include <cstdint>

#include "uefi_boot.h"

// Writes into Buffer the nodes of Volume up to its first end node, then a file path node
// holding Name (NUL included) and an end-of-path node. Name is a path from the volume's root,
// such as u"\\oemcom.te".
// Returns EFI_SUCCESS; EFI_INVALID_PARAMETER when Volume has a node shorter than its 4-byte
// header or Name is too long for one node (32,765 units); EFI_BUFFER_TOO_SMALL when the whole path
// needs more than Capacity bytes or Volume has no end node within them. Buffer is written only on
// success.
EFI_STATUS FileDevicePath(const EFI_DEVICE_PATH_PROTOCOL *Volume, const CHAR16 *Name,
                          uint8_t *Buffer, uint32_t Capacity);
