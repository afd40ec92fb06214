// Carrying an edit of one volume out to the image, and proving the result before anyone writes
// it: the image is read back and held to every promise of the edit. A failed check is a fault in
// fv-tool, not in its input, and its outcome says so.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "firmware_tree.h"
#include "rebuild.h"
#include "struct_io.h"

// What an insert or remove meant to write into one volume.
struct EditPlan {
  const FvVolume *Volume = nullptr; // the volume changed, in the original image
  std::vector<uint8_t> Bytes;       // its intended bytes
  const FvFile *Gone = nullptr;     // the file taken out (remove, --replace), or null
  uint64_t At = 0;                  // the new file's offset in the volume
  std::vector<uint8_t> Placed;      // the new file as written; empty for a remove
  ByteView LinkedTe;                // the new file's TE image as linked
  uint64_t TeOffset = 0;            // its offset in Placed
  uint64_t NewBase = 0;             // the base it was moved to
  const FvFile *Edited = nullptr;   // a file rewritten in place (the PEI apriori file), or null
  std::vector<uint8_t> EditedBytes; // and its new bytes, at its offset
};

enum class EditOutcome : uint8_t {
  Done,
  Refused,     // the input breaks a rule: one line in the error
  FaultInTool, // the result failed its check: nothing may be written
};

// A test's way to plant a fault in an edit's work, at each stage: the new file before it is
// sealed (Bytes) and the offset it is written at (At); the volume as written; the bytes handed
// to the containers' rebuild; the rebuilt image.
enum class EditStage : uint8_t { NewFile, Volume, EncoderInput, Output };
using FaultHook = std::function<void(EditStage, std::vector<uint8_t> *Bytes, uint64_t *At)>;

// Calls Hook, when set, at Stage.
void AtStage(const FaultHook &Hook, EditStage Stage, std::vector<uint8_t> *Bytes,
             uint64_t *At = nullptr);

// Rebuilds Image around Plan's volume (rebuild.h) into Out and checks the result against Plan:
// the rebuilt containers decode to exactly the intended volume bytes; the new file sits at At
// with its bytes, a file rewritten in place has its new bytes; every other file keeps its GUID,
// type, offset and bytes, a removed file is gone; the volume holds as many live PEI cores as before
// (one, for an insert); the moved TE image keeps the image rules and equals the linked one moved
// again; every byte outside the rebuilt containers is the same.
EditOutcome FinishEdit(const FirmwareImage &Image, const EditPlan &Plan, const FaultHook &Hook,
                       std::vector<uint8_t> *Out, std::vector<RebuiltPart> *Parts,
                       std::string *Error);
