// Names of numbered values (machines, subsystems, section flags, CPU exceptions) as tables, and
// lookups by name in tables of commands and options.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>

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

// The entry of Table whose Name member is Name, or null: a command, an option.
template <typename Entry, size_t Count>
const Entry *FindByName(const Entry (&Table)[Count], const std::string &Name) {
  const Entry *Found = std::find_if(std::begin(Table), std::end(Table),
                                    [&Name](const Entry &Each) { return Name == Each.Name; });
  return Found != std::end(Table) ? Found : nullptr;
}
