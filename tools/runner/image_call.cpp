#include "image_call.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "cpu_session.h"
#include "file_io.h"
#include "image_loader.h"
#include "link_map.h"
#include "messages.h"
#include "run_layout.h"
#include "struct_io.h"
#include "te_check.h"
#include "te_image.h"

namespace {

// Argument blocks start on 16-byte boundaries with at least this many bytes between them that
// the call is not given: a read past the end of one block is caught before it reaches the next.
constexpr uint32_t BLOCK_GAP = 16;
constexpr uint32_t BLOCK_ALIGN = 16;

constexpr uint64_t AlignUp(uint64_t Value, uint32_t Alignment) {
  return (Value + Alignment - 1) / Alignment * Alignment;
}

template <typename Unit> std::vector<uint8_t> UnitsWithTerminator(const Unit *Text) {
  size_t Units = 0;
  while (Text[Units] != 0) {
    ++Units;
  }
  const auto *Bytes = reinterpret_cast<const uint8_t *>(Text);
  return std::vector<uint8_t>(Bytes, Bytes + (Units + 1) * sizeof(Unit));
}

} // namespace

CallArgument CallArgument::Text(const char *Text) {
  return Text == nullptr ? Word(0)
                         : CallArgument{Kind::Block, 0, UnitsWithTerminator(Text), "8-bit string"};
}

CallArgument CallArgument::Text16(const char16_t *Text) {
  return Text == nullptr ? Word(0)
                         : CallArgument{Kind::Block, 0, UnitsWithTerminator(Text), "16-bit string"};
}

CallArgument CallArgument::Block(ByteView Bytes, const char *What) {
  return {Kind::Block, 0, std::vector<uint8_t>(Bytes.begin(), Bytes.end()), What};
}

ImageCaller::ImageCaller() = default;
ImageCaller::~ImageCaller() = default;

bool ImageCaller::Load(std::vector<uint8_t> TeFile, LinkMap LinkSymbols,
                       const CallOptions &CallOptions, std::string *Error) {
  Session.reset();
  File = std::move(TeFile);
  Symbols = std::move(LinkSymbols);
  Options = CallOptions;
  Runs = RunResult{};
  TeImage Checked;
  if (!ParseAndCheckTeImage(File, &Checked, Error) ||
      !LoadTeImage(Checked, Options.Base, &Image, Error) ||
      !PlanLayout(Image.Base, Image.Span, Options.StackSize, &Layout, Error,
                  static_cast<uint32_t>(AlignUp(Options.DataSize, PAGE_SIZE)))) {
    return false;
  }
  Runs.Layout = Layout;
  Pristine = Image.Pages;
  auto Loaded = std::make_unique<CpuSession>(Layout, Options.MaxInstructions, Runs);
  std::string Reason;
  if (!Loaded->Load(Image, &Reason)) {
    return Fail(Error, "emulator: " + Reason);
  }
  Loaded->NamePlaces([this](uint32_t Address) { return PlaceOf(Address); });
  Session = std::move(Loaded);
  return true;
}

std::string ImageCaller::PlaceOf(uint32_t Address) const {
  if (Address < Image.Base || Address - Image.Base >= Image.Span || Symbols.empty()) {
    return "";
  }
  return PlaceName(Symbols, Image.PreferredBase + (Address - Image.Base));
}

bool ImageCaller::Call(const std::string &Function, std::span<const CallArgument> Arguments,
                       const OutputBuffer &Output, CallResult *Result, std::string *Error) {
  *Result = CallResult{};
  if (Session == nullptr) {
    return Fail(Error, "no image loaded");
  }
  CallSetup Setup;
  uint32_t Found = 0;
  for (const auto &[Linked, Name] : Symbols) {
    if (Name == Function) {
      Setup.Function = Image.Base + (Linked - Image.PreferredBase);
      ++Found;
    }
  }
  if (Found != 1) {
    return Fail(Error, Found == 0 ? "the link map has no function " + Function
                                  : "the link map names " + std::to_string(Found) + " functions " +
                                        Function);
  }
  if (Setup.Function - Image.Base >= Image.Span) {
    return Fail(Error, Function + " lies outside the image");
  }

  // The call data area: the output buffer between its guards, then each block.
  const uint64_t DataSize = Layout.DataHigh - Layout.DataLow;
  const uint64_t OutputArea = uint64_t{Output.Guard} * 2 + Output.Capacity;
  if (OutputArea > DataSize) {
    return Fail(Error, "the output buffer of " + Counted(Output.Capacity, "byte") +
                           " does not fit in the call data area of " + Counted(DataSize, "byte"));
  }
  const uint32_t Buffer = Layout.DataLow + Output.Guard;
  std::vector<std::pair<uint32_t, ByteView>> Writes;
  const std::vector<uint8_t> Sentinels(OutputArea, Output.Sentinel);
  uint64_t Next = OutputArea;
  bool HasOutput = false;
  for (size_t Index = 0; Index < Arguments.size(); ++Index) {
    const CallArgument &Argument = Arguments[Index];
    switch (Argument.Is) {
    case CallArgument::Kind::Word:
      Setup.Slots.push_back(static_cast<uint32_t>(Argument.Value));
      break;
    case CallArgument::Kind::Wide:
      Setup.Slots.push_back(static_cast<uint32_t>(Argument.Value));
      Setup.Slots.push_back(static_cast<uint32_t>(Argument.Value >> 32));
      break;
    case CallArgument::Kind::Output:
      Setup.Slots.push_back(Buffer);
      if (!HasOutput) {
        HasOutput = true;
        Writes.emplace_back(Layout.DataLow, Sentinels);
        Setup.Regions.push_back({Buffer, Buffer + Output.Capacity, true, 0, ""});
      }
      break;
    case CallArgument::Kind::Block: {
      const uint64_t At = AlignUp(Next + BLOCK_GAP, BLOCK_ALIGN);
      if (!Fits(DataSize, At, Argument.Bytes.size())) {
        return Fail(Error, "argument " + std::to_string(Index + 1) +
                               " does not fit in the call data area of " +
                               Counted(DataSize, "byte"));
      }
      const uint32_t Address = Layout.DataLow + static_cast<uint32_t>(At);
      Setup.Slots.push_back(Address);
      Writes.emplace_back(Address, Argument.Bytes);
      Setup.Regions.push_back({Address, Address + static_cast<uint32_t>(Argument.Bytes.size()),
                               false, static_cast<uint32_t>(Index + 1), Argument.What});
      Next = At + Argument.Bytes.size();
      break;
    }
    }
  }
  for (const auto &[Address, Bytes] : Writes) {
    if (!Session->WriteMemory(Address, Bytes, Error)) {
      return false;
    }
  }

  // A fresh count for this call; the instructions by RVA add up over all of them.
  Runs.Faults.clear();
  Runs.Instructions = 0;
  Runs.Eax = 0;
  Runs.PeakStack = 0;
  if (!Session->SetUpCall(Setup, Error)) {
    return false;
  }
  Session->Call();
  Result->Eax = Runs.Eax;
  Result->Instructions = Runs.Instructions;
  Result->PeakStack = Runs.PeakStack;
  for (const std::string &Fault : Runs.Faults) {
    Result->Faults.push_back(Function + ' ');
    Result->Faults.back() += Fault;
  }
  // A call that wrote to the image's own pages broke a rule and stopped there; the next call
  // gets the image as loaded, and no translation of the bytes it changed.
  if (!Runs.Faults.empty() && Image.Pages != Pristine) {
    std::copy(Pristine.begin(), Pristine.end(), Image.Pages.begin());
    if (!Session->ForgetCode(Layout.PagesLow, Layout.PagesHigh, Error)) {
      return false;
    }
  }
  if (HasOutput) {
    Result->Output.resize(OutputArea);
    return Session->ReadMemory(Layout.DataLow, &Result->Output, Error);
  }
  return true;
}

bool LoadImageFiles(const std::string &TePath, const std::string &MapPath,
                    const CallOptions &Options, ImageCaller *Caller, std::string *Error) {
  std::vector<uint8_t> File;
  LinkMap Symbols;
  std::string Reason;
  if (!ReadLinkMap(MapPath, &Symbols, &Reason)) {
    return Fail(Error, MapPath + ": " + Reason);
  }
  if (!ReadFileBytes(TePath, &File, &Reason) ||
      !Caller->Load(std::move(File), std::move(Symbols), Options, &Reason)) {
    return Fail(Error, TePath + ": " + Reason);
  }
  return true;
}
