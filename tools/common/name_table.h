// Names of numbered values (machines, subsystems, section flags, CPU exceptions) as tables.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>

struct Named {
  uint32_t Value;
  const char *Name;
};

// The name Table gives Value, or Otherwise.
template <size_t Count>
const char *NameOf(const Named (&Table)[Count], uint32_t Value, const char *Otherwise) {
  const Named *Found = std::find_if(std::begin(Table), std::end(Table),
                                    [Value](const Named &Entry) { return Entry.Value == Value; });
  return Found != std::end(Table) ? Found->Name : Otherwise;
}
