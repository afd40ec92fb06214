#include "run_layout.h"

#include <cstdint>
#include <string>

#include "messages.h"

namespace {

// Block starts tried in order; an image of at most 64 MiB overlaps at most one of them.
constexpr uint32_t BLOCK_CANDIDATES[] = {0xE0000000, 0x20000000, 0x00100000};
constexpr uint32_t IMAGE_HANDLE_OFFSET = 0x100; // within the handle page
constexpr uint32_t SYSTEM_TABLE_OFFSET = 0x200;

bool Overlaps(uint64_t Low, uint64_t High, uint64_t OtherLow, uint64_t OtherHigh) {
  return Low < OtherHigh && OtherLow < High;
}

} // namespace

bool PlanLayout(uint32_t Base, uint32_t Span, uint32_t StackSize, RunLayout *Layout,
                std::string *Error, uint32_t DataSize) {
  if (StackSize < MIN_STACK_SIZE || StackSize > MAX_STACK_SIZE || StackSize % PAGE_SIZE != 0) {
    return Fail(Error, "stack size " + std::to_string(StackSize) +
                           " is not a multiple of 4096 between 4 KiB and 16 MiB");
  }
  if (DataSize > MAX_DATA_SIZE || DataSize % PAGE_SIZE != 0) {
    return Fail(Error, "call data size " + std::to_string(DataSize) +
                           " is not a multiple of 4096 up to 16 MiB");
  }
  RunLayout Plan;
  Plan.ImageLow = Base;
  Plan.ImageHigh = Base + Span;
  Plan.PagesLow = PageFloor(Base);
  Plan.PagesHigh = PageCeil(uint64_t{Base} + Span);
  const uint64_t BlockSize = uint64_t{StackSize} + uint64_t{4} * PAGE_SIZE + DataSize;
  for (const uint32_t Block : BLOCK_CANDIDATES) {
    if (Overlaps(Block, Block + BlockSize, Plan.PagesLow, Plan.PagesHigh)) {
      continue;
    }
    Plan.Block = Block;
    Plan.StackLow = Block + PAGE_SIZE;
    Plan.StackTop = Plan.StackLow + StackSize;
    Plan.Sentinel = Plan.StackTop + PAGE_SIZE;
    Plan.HandlePage = Plan.Sentinel + PAGE_SIZE;
    Plan.ImageHandle = Plan.HandlePage + IMAGE_HANDLE_OFFSET;
    Plan.SystemTable = Plan.HandlePage + SYSTEM_TABLE_OFFSET;
    Plan.DataLow = static_cast<uint32_t>(Plan.BlockEnd());
    Plan.DataHigh = Plan.DataLow + DataSize;
    *Layout = Plan;
    return true;
  }
  return Fail(Error, "no room for the stack next to the image");
}

std::string AddressRole(const RunLayout &Layout, uint32_t Address) {
  if (Address >= Layout.PagesLow && Address < Layout.PagesHigh) {
    return "the image's page beyond its bytes";
  }
  if (Address < Layout.StackLow && Layout.StackLow - Address <= MAX_STACK_SIZE) {
    return "below the stack (stack overflow)";
  }
  if (Address >= Layout.StackTop && Address < Layout.Sentinel) {
    return "the caller's frame above the arguments";
  }
  if (Address >= Layout.Sentinel && Address < Layout.HandlePage) {
    return "the return sentinel page";
  }
  if (Address >= Layout.HandlePage && Address < Layout.BlockEnd()) {
    return "the page ImageHandle and SystemTable point into";
  }
  return "";
}
