// Calls named functions of a TE image on the emulated CPU, one call after another on one load:
// cdecl, with 32-bit argument slots, the function's address read from the image's link map.
//
// Strings, 16-bit strings and other blocks are copied into the call data area, where the call
// may only read them, and their addresses are passed. The output buffer lies there too, between
// sentinel bytes, and only its Capacity bytes may be touched. Every rule of an entry run holds
// during a call: no write outside the output buffer and the stack, no read outside the image,
// the arguments and the stack, no port access, and the callee-saved registers, ESP, the
// direction flag and the interrupt flag as they were. A fault names the function, what broke,
// and the function the faulting instruction belongs to.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "image_loader.h"
#include "image_runner.h"
#include "link_map.h"
#include "run_layout.h"
#include "run_result.h"
#include "struct_io.h"

class CpuSession;

// One argument as the caller's C++ passes it on IA-32.
struct CallArgument {
  enum class Kind : uint8_t {
    Word,   // Value: one slot
    Wide,   // Value: two slots, low word first
    Block,  // Bytes copied to the call data area; the slot holds their address
    Output, // the slot holds the output buffer's address
  };
  Kind Is = Kind::Word;
  uint64_t Value = 0;
  std::vector<uint8_t> Bytes;
  const char *What = ""; // a Block's kind, for fault messages: "8-bit string"

  static CallArgument Word(uint32_t Value) { return {Kind::Word, Value, {}, ""}; }
  static CallArgument Wide(uint64_t Value) { return {Kind::Wide, Value, {}, ""}; }
  // The bytes of Text up to and with its NUL; a null Text is a null pointer.
  static CallArgument Text(const char *Text);
  // The units of Text up to and with its zero unit; a null Text is a null pointer.
  static CallArgument Text16(const char16_t *Text);
  // What is a literal: fault messages read it during the call.
  static CallArgument Block(ByteView Bytes, const char *What);
  static CallArgument Output() { return {Kind::Output, 0, {}, ""}; }
};

// The output buffer of a call: Capacity bytes the call may write, with Guard sentinel bytes on
// each side that it must leave alone.
struct OutputBuffer {
  uint32_t Capacity = 0;
  uint32_t Guard = 32;
  uint8_t Sentinel = 0x5A;
};

struct CallResult {
  // One line each, to follow the function's name: "FormatText writes to argument 3 ...".
  std::vector<std::string> Faults;
  uint32_t Eax = 0;          // the result, when it returned
  uint64_t Instructions = 0; // executed
  uint32_t PeakStack = 0;    // bytes below the ESP of the call, return address included
  // The output buffer as the call left it, with its guards: Guard bytes, Capacity bytes,
  // Guard bytes.
  std::vector<uint8_t> Output;
};

struct CallOptions {
  uint32_t Base = DEFAULT_LOAD_BASE; // address of RVA 0
  uint32_t StackSize = DEFAULT_STACK_SIZE;
  uint32_t DataSize = 1u << 20;        // bytes of the call data area
  uint64_t MaxInstructions = 10000000; // bound on each call
};

class ImageCaller {
public:
  ImageCaller();
  ~ImageCaller();
  ImageCaller(const ImageCaller &) = delete;
  ImageCaller &operator=(const ImageCaller &) = delete;

  // Lays out the TE image File at Options.Base and readies the emulator; Symbols is the
  // image's link map. On failure returns false and sets Error.
  [[nodiscard]] bool Load(std::vector<uint8_t> File, LinkMap Symbols, const CallOptions &Options,
                          std::string *Error);

  // Calls the function the link map names Function with Arguments. An Output argument passes
  // the buffer Output describes. False with Error when the call cannot be made: no image
  // loaded, no such function, arguments that do not fit; what the call did is in *Result.
  [[nodiscard]] bool Call(const std::string &Function, std::span<const CallArgument> Arguments,
                          const OutputBuffer &Output, CallResult *Result, std::string *Error);

  // The instructions executed inside the image over every call so far: their length in bytes
  // by RVA.
  const std::map<uint32_t, uint32_t> &Executed() const { return Runs.InstructionLengths; }

private:
  // "PutText+0x12" for an address inside the image, else "".
  std::string PlaceOf(uint32_t Address) const;

  std::vector<uint8_t> File; // the TE file, which Image.Te views
  LoadedImage Image{};
  std::vector<uint8_t> Pristine; // Image.Pages as loaded
  LinkMap Symbols;
  CallOptions Options;
  RunLayout Layout;
  // The session's counts and faults. Its instructions by RVA, counts and lengths, add up over
  // the calls: after the first few, a call adds no entries to these maps.
  RunResult Runs;
  std::unique_ptr<CpuSession> Session;
};

// Reads the TE image at TePath and its link map at MapPath and loads them into Caller; an error
// names the file it comes from.
[[nodiscard]] bool LoadImageFiles(const std::string &TePath, const std::string &MapPath,
                                  const CallOptions &Options, ImageCaller *Caller,
                                  std::string *Error);
