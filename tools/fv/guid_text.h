// GUIDs as text, in the registry form with lower-case hexadecimal digits:
// "56f26cba-0844-463d-87ba-395d00c5c762". The first three fields are little-endian in the
// struct; the last eight bytes are stored in text order.
#pragma once

#include <string>

#include "fv_format.h"

std::string GuidText(const fv::EFI_GUID &Guid);

// Text as a GUID in the form above, either case. False for anything else.
[[nodiscard]] bool ParseGuid(const std::string &Text, fv::EFI_GUID *Guid);

bool SameGuid(const fv::EFI_GUID &A, const fv::EFI_GUID &B);
