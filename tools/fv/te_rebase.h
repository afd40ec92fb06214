// Moving a TE image to the address it will run at, as the firmware's loader would: every
// HIGHLOW field gets the difference between the new and the linked base, and ImageBase becomes
// the new base. At that address the loader finds nothing left to relocate.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Rebases the TE image in Te to NewBase. Applied counts the fields changed. Refuses an image
// that does not parse, a base whose image would not fit below 4 GiB, and a relocation other
// than HIGHLOW or ABSOLUTE or whose field lies outside the raw data. Te is changed only on
// success.
[[nodiscard]] bool RebaseTeImage(std::vector<uint8_t> *Te, uint64_t NewBase, uint32_t *Applied,
                                 std::string *Error);
