// The symbols of an lld-link map (/map, the MSVC layout), and the instructions a run spent in
// each function they mark.
#pragma once

#include <cstdint>
#include <map>
#include <string>

// Each symbol's linked address (the image's preferred base plus its RVA) and its name as the
// source gives it: "FormatTextV" for _FormatTextV or ?FormatTextV@@... Of symbols at one address,
// the first keeps it.
using LinkMap = std::map<uint32_t, std::string>;

// Reads the public and static symbols of the map at Path. On failure returns false and sets
// Error to a reason that names the line that is not a symbol line, or says that none is there.
[[nodiscard]] bool ReadLinkMap(const std::string &Path, LinkMap *Symbols, std::string *Error);

// The place of a linked address: "PutText" at a symbol's address, "PutText+0x12" past it (up to
// the next symbol), "(no symbol)" below the first.
std::string PlaceName(const LinkMap &Symbols, uint32_t Linked);

// "instructions by function (MAP):" and a line for each function that ran, most first. A
// function holds the instructions from its symbol's address up to the next symbol's; those below
// the first symbol count as "(no symbol)". InstructionsAt counts by RVA.
std::string FunctionProfile(const std::string &MapName, const LinkMap &Symbols,
                            uint32_t PreferredBase,
                            const std::map<uint32_t, uint64_t> &InstructionsAt);
