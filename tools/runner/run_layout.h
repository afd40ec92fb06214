// Where the runner puts what the image runs with: the image's whole pages, and a block holding
// the stack, the return sentinel, the two handles and the data of function calls, each behind
// unmapped guard pages.
//
// Block layout from its start, in 4 KiB pages:
//   guard                 unmapped: catches stack overflow
//   stack (StackSize)     read/write; its top 12 bytes are the return address and arguments
//   guard                 unmapped: the caller's frame above the arguments
//   sentinel              execute-only: the return address points at its start
//   handles               unmapped: ImageHandle and SystemTable point into it
//   call data (DataSize)  read/write, when planned: what a function call is given to read (its
//                         strings and other argument blocks) and its output buffer
#pragma once

#include <cstdint>
#include <string>

constexpr uint32_t PAGE_SIZE = 0x1000;
constexpr uint32_t MIN_STACK_SIZE = PAGE_SIZE;
constexpr uint32_t MAX_STACK_SIZE = 16u << 20; // bytes
constexpr uint32_t MAX_DATA_SIZE = 16u << 20;  // bytes

// The start of the page holding Address, and the end of the page holding Address - 1.
constexpr uint32_t PageFloor(uint32_t Address) {
  return Address & ~(PAGE_SIZE - 1);
}
constexpr uint64_t PageCeil(uint64_t Address) {
  return (Address + PAGE_SIZE - 1) & ~uint64_t{PAGE_SIZE - 1};
}

struct RunLayout {
  uint32_t ImageLow = 0, ImageHigh = 0; // the image: [Base, Base + Span)
  uint32_t PagesLow = 0;                // whole pages mapped for the image
  uint64_t PagesHigh = 0;               // may be 2^32
  uint32_t Block = 0;                   // start of the runner's block
  uint32_t StackLow = 0, StackTop = 0;
  uint32_t Sentinel = 0; // return address given to the entry
  uint32_t HandlePage = 0;
  uint32_t ImageHandle = 0, SystemTable = 0;
  uint32_t DataLow = 0, DataHigh = 0; // the call data area; empty unless planned

  uint32_t CallEsp() const { return StackTop - 8; }   // arguments pushed, before the call
  uint32_t EntryEsp() const { return StackTop - 12; } // return address pushed
  uint64_t BlockEnd() const { return uint64_t{HandlePage} + PAGE_SIZE; }
};

// Plans the layout for an image of Span bytes at Base, placing the block clear of the
// image's pages. StackSize must be a multiple of 4 KiB within [MIN_STACK_SIZE,
// MAX_STACK_SIZE]; DataSize, the call data area's bytes, a multiple of 4 KiB up to
// MAX_DATA_SIZE (0: none). On failure returns false and sets Error.
[[nodiscard]] bool PlanLayout(uint32_t Base, uint32_t Span, uint32_t StackSize, RunLayout *Layout,
                              std::string *Error, uint32_t DataSize = 0);

// What an address outside the image and the stack is, for fault messages: "below the stack
// (stack overflow)" for up to MAX_STACK_SIZE bytes under it, "the caller's frame above the
// arguments", ... or "" when it is nothing the runner placed.
std::string AddressRole(const RunLayout &Layout, uint32_t Address);
