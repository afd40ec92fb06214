// EFI_STATUS names, by class and code.
#include "status_name.h"

#include <cstdint>

#include "efi_types.h"

namespace {

// Fixed-width, NUL-padded slots indexed by code; a table names as many codes as it has
// slots. Slot widths: longest name plus NUL.
const char StandardErrorNames[][25] = {
    "EFI_LOAD_ERROR",           "EFI_INVALID_PARAMETER",  "EFI_UNSUPPORTED",
    "EFI_BAD_BUFFER_SIZE",      "EFI_BUFFER_TOO_SMALL",   "EFI_NOT_READY",
    "EFI_DEVICE_ERROR",         "EFI_WRITE_PROTECTED",    "EFI_OUT_OF_RESOURCES",
    "EFI_VOLUME_CORRUPTED",     "EFI_VOLUME_FULL",        "EFI_NO_MEDIA",
    "EFI_MEDIA_CHANGED",        "EFI_NOT_FOUND",          "EFI_ACCESS_DENIED",
    "EFI_NO_RESPONSE",          "EFI_NO_MAPPING",         "EFI_TIMEOUT",
    "EFI_NOT_STARTED",          "EFI_ALREADY_STARTED",    "EFI_ABORTED",
    "EFI_ICMP_ERROR",           "EFI_TFTP_ERROR",         "EFI_PROTOCOL_ERROR",
    "EFI_INCOMPATIBLE_VERSION", "EFI_SECURITY_VIOLATION", "EFI_CRC_ERROR",
    "EFI_END_OF_MEDIA",         "EFI_UNDEFINED_29",       "EFI_UNDEFINED_30",
    "EFI_END_OF_FILE",          "EFI_INVALID_LANGUAGE",   "EFI_COMPROMISED_DATA",
};

const char Bit29ErrorNames[][25] = {
    "EFI_INTERRUPT_PENDING",
    "EFI_REQUEST_UNLOAD_IMAGE",
    "EFI_NOT_AVAILABLE_YET",
};

// Shares the error tables' slot width.
const char Bit30ErrorNames[][25] = {
    "EFI_DBE_EOF",
    "EFI_DBE_BOF",
};

const char StandardWarningNames[][26] = {
    "EFI_WARN_UNKNOWN_GLYPH",
    "EFI_WARN_DELETE_FAILURE",
    "EFI_WARN_WRITE_FAILURE",
    "EFI_WARN_BUFFER_TOO_SMALL",
};

const char Bit29WarningNames[][35] = {
    "EFI_WARN_INTERRUPT_SOURCE_PENDING",
    "EFI_WARN_INTERRUPT_SOURCE_QUIESCED",
};

// The number of slots in a name table.
template <typename Slot, uint32_t Count> constexpr uint32_t SlotCount(const Slot (&)[Count]) {
  return Count;
}

constexpr EFI_STATUS BIT29_ERROR = EFI_STATUS_ERROR_BIT | EFI_STATUS_BIT29;
constexpr EFI_STATUS BIT30_ERROR = EFI_STATUS_ERROR_BIT | EFI_STATUS_BIT30;

} // namespace

const char *StatusToName(EFI_STATUS Status) {
  const uint32_t Code = Status & EFI_STATUS_CODE_MASK;
  // Unsigned wrap-around turns "Code - 1 < N" into the range test 1 <= Code <= N.
  if (Status == EFI_SUCCESS) {
    return "EFI_SUCCESS";
  }
  if ((Status & BIT29_ERROR) == BIT29_ERROR) {
    return Code < SlotCount(Bit29ErrorNames) ? Bit29ErrorNames[Code] : nullptr;
  }
  if ((Status & BIT30_ERROR) == BIT30_ERROR) {
    return Code - 1 < SlotCount(Bit30ErrorNames) ? Bit30ErrorNames[Code - 1] : nullptr;
  }
  if ((Status & EFI_STATUS_ERROR_BIT) != 0) {
    return Code - 1 < SlotCount(StandardErrorNames) ? StandardErrorNames[Code - 1] : nullptr;
  }
  if ((Status & EFI_STATUS_BIT29) != 0) {
    return Code < SlotCount(Bit29WarningNames) ? Bit29WarningNames[Code] : nullptr;
  }
  // Plain warnings compare the whole value: bit 30 set means no name.
  return Status - 1 < SlotCount(StandardWarningNames) ? StandardWarningNames[Status - 1] : nullptr;
}
