// Firmware types shared by the module: the status type, the GUID layout and the
// calling convention of the module's entry point.
#pragma once

#include <cstdint>

typedef uint32_t EFI_STATUS;

constexpr EFI_STATUS EFI_SUCCESS = 0;

// EFI_STATUS class bits (32-bit encoding).
constexpr EFI_STATUS EFI_STATUS_ERROR_BIT = 0x80000000u; // error, not warning
constexpr EFI_STATUS EFI_STATUS_BIT30 = 0x40000000u;     // second error/warning class
constexpr EFI_STATUS EFI_STATUS_BIT29 = 0x20000000u;     // third error/warning class
constexpr EFI_STATUS EFI_STATUS_CODE_MASK = 0x1FFFFFFFu; // code within its class

// 16 bytes, little-endian fields, as the registry text form reads them.
struct EFI_GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};

// The UEFI calling convention on IA-32 is the C one; elsewhere the platform default.
#if defined(__i386__)
#define EFIAPI __attribute__((cdecl))
#else
#define EFIAPI
#endif
