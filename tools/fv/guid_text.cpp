#include "guid_text.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "fv_format.h"

using fv::EFI_GUID;

std::string GuidText(const EFI_GUID &Guid) {
  char Text[37]; // 36 characters and the NUL
  std::snprintf(Text, sizeof(Text), "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", Guid.Data1,
                Guid.Data2, Guid.Data3, Guid.Data4[0], Guid.Data4[1], Guid.Data4[2], Guid.Data4[3],
                Guid.Data4[4], Guid.Data4[5], Guid.Data4[6], Guid.Data4[7]);
  return Text;
}

bool ParseGuid(const std::string &Text, EFI_GUID *Guid) {
  // Hex digits per group; a dash follows each group but the last.
  constexpr size_t GROUPS[] = {8, 4, 4, 4, 12};
  uint8_t Bytes[16];
  size_t At = 0;
  size_t Byte = 0;
  for (size_t Group = 0; Group < 5; ++Group) {
    for (size_t Digit = 0; Digit < GROUPS[Group]; Digit += 2, At += 2) {
      if (At + 2 > Text.size() || std::isxdigit(static_cast<unsigned char>(Text[At])) == 0 ||
          std::isxdigit(static_cast<unsigned char>(Text[At + 1])) == 0) {
        return false;
      }
      Bytes[Byte++] = static_cast<uint8_t>(std::stoul(Text.substr(At, 2), nullptr, 16));
    }
    if (Group < 4) {
      if (At >= Text.size() || Text[At] != '-') {
        return false;
      }
      ++At;
    }
  }
  if (At != Text.size()) {
    return false;
  }
  // The text's first three groups are big-endian numbers.
  Guid->Data1 = (uint32_t{Bytes[0]} << 24) | (uint32_t{Bytes[1]} << 16) |
                (uint32_t{Bytes[2]} << 8) | Bytes[3];
  Guid->Data2 = static_cast<uint16_t>((Bytes[4] << 8) | Bytes[5]);
  Guid->Data3 = static_cast<uint16_t>((Bytes[6] << 8) | Bytes[7]);
  std::memcpy(Guid->Data4, Bytes + 8, sizeof(Guid->Data4));
  return true;
}

bool SameGuid(const EFI_GUID &A, const EFI_GUID &B) {
  return std::memcmp(&A, &B, sizeof(EFI_GUID)) == 0;
}
