// The module's FFS file: a PEIM holding a raw section as padding, the TE image in a TE section
// and its name in a user-interface section, with no dependency section (the PEI core then
// dispatches it on its first pass). With the file's data on a 128-byte boundary of a volume
// whose base is a multiple of 32, the padding puts the image's base on a multiple of 32: the
// section alignment the image is linked with.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "firmware_tree.h"
#include "fv_format.h"
#include "struct_io.h"

// The module's FFS file name: 56f26cba-0844-463d-87ba-395d00c5c762.
constexpr fv::EFI_GUID OEMCOM_FILE_GUID = {
    0x56F26CBA, 0x0844, 0x463D, {0x87, 0xBA, 0x39, 0x5D, 0x00, 0xC5, 0xC7, 0x62}};
constexpr char OEMCOM_FILE_NAME[] = "OemInitCom";

// The image's section alignment (lld-link /align:32): its base must be a multiple of it.
constexpr uint64_t IMAGE_BASE_ALIGNMENT = 32;
// The data alignment the file asks for: the smallest FFS alignment that is a multiple of 32.
constexpr uint64_t PEIM_DATA_ALIGNMENT = 128;

// Lays out the module's FFS file for the TE image Te (the ffs command first holds Te to the
// image rules; the layout itself needs only a TE header), with the file name Name and the
// user-interface name UiName (printable ASCII, stored as UTF-16). Refuses a Te that is not a TE
// image, or whose stripped header is not a multiple of 4 bytes, which no 4-byte-aligned section
// can offset.
[[nodiscard]] bool BuildPeimFile(ByteView Te, const fv::EFI_GUID &Name, const std::string &UiName,
                                 std::vector<uint8_t> *File, std::string *Error);

// A PEIM file read for insertion.
struct PeimFile {
  FvFile File;           // views the bytes read
  uint64_t TeOffset = 0; // the TE image's offset in the file
  uint64_t TeSize = 0;
  uint32_t Displacement = 0; // StrippedSize - 40: RVA 0 lies that many bytes before the TE header
  uint16_t Machine = 0;      // the TE image's machine
  uint64_t LinkedBase = 0;   // and the base it is linked for
  std::string Name;          // from its user-interface section; empty without one
};

// Reads Bytes as a PEIM file: a well-formed FFS file of type PEIM holding exactly one TE
// section, directly, with a TE image that keeps the image rules (te-tool check's).
[[nodiscard]] bool ReadPeimFile(ByteView Bytes, PeimFile *Peim, std::string *Error);
