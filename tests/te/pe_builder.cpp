#include "pe_builder.h"

namespace pe_test {

void Pe::Put16(uint32_t Offset, uint16_t Value) {
  Bytes.at(Offset) = static_cast<uint8_t>(Value);
  Bytes.at(Offset + 1) = static_cast<uint8_t>(Value >> 8);
}

void Pe::Put32(uint32_t Offset, uint32_t Value) {
  Put16(Offset, static_cast<uint16_t>(Value));
  Put16(Offset + 2, static_cast<uint16_t>(Value >> 16));
}

void Pe::PutName(uint32_t Index, const std::string &Name) {
  for (uint32_t Position = 0; Position < 8; Position++) {
    Bytes.at(Section(Index, Position)) = Position < Name.size() ? Name[Position] : 0;
  }
}

namespace {

void PutSection(Pe *Image, uint32_t Index, const std::string &Name, uint32_t Rva,
                uint32_t VirtualSize, uint32_t RawSize, uint32_t Flags) {
  Image->PutName(Index, Name);
  Image->Put32(Section(Index, 8), VirtualSize);
  Image->Put32(Section(Index, 12), Rva);
  Image->Put32(Section(Index, 16), RawSize);
  Image->Put32(Section(Index, 20), Rva);
  Image->Put32(Section(Index, 36), Flags);
}

} // namespace

Pe BuildValidPe() {
  Pe Image;
  Image.Bytes.assign(FILE_SIZE, 0);
  Image.Put16(0, 0x5A4D); // "MZ"
  Image.Put32(0x3C, LFANEW);
  Image.Put32(LFANEW, 0x00004550); // "PE\0\0"
  Image.Put16(COFF + 0, 0x014C);   // Machine
  Image.Put16(COFF + 2, 2);        // NumberOfSections
  Image.Put16(COFF + 16, 224);     // SizeOfOptionalHeader
  Image.Put16(COFF + 18, 0x0102);  // executable image, 32-bit machine
  Image.Put16(OPTIONAL + 0, 0x010B);
  Image.Put32(OPTIONAL + 16, ENTRY);
  Image.Put32(OPTIONAL + 20, TEXT); // BaseOfCode
  Image.Put32(OPTIONAL + 28, IMAGE_BASE);
  Image.Put32(OPTIONAL + 32, 32);        // SectionAlignment
  Image.Put32(OPTIONAL + 36, 32);        // FileAlignment
  Image.Put32(OPTIONAL + 56, FILE_SIZE); // SizeOfImage
  Image.Put32(OPTIONAL + 60, TEXT);      // SizeOfHeaders
  Image.Put16(OPT_SUBSYSTEM, 11);
  Image.Put32(OPT_DIRECTORY_COUNT, 16);
  Image.Put32(DIR_RELOC, RELOC);
  Image.Put32(DIR_RELOC + 4, RELOC_SIZE);
  PutSection(&Image, 0, ".text", TEXT, TEXT_SIZE, TEXT_SIZE, TEXT_FLAGS);
  PutSection(&Image, 1, ".reloc", RELOC, RELOC_SIZE, RELOC_RAW, RELOC_FLAGS);

  for (uint32_t Offset = TEXT; Offset < TEXT + TEXT_SIZE; Offset++) {
    Image.Bytes[Offset] = 0x90; // NOP
  }
  Image.Bytes[TEXT] = 0xA1;     // MOV EAX, [moffs32]: its address is HIGHLOW_SITES[0]
  Image.Bytes[TEXT + 5] = 0xC3; // RET
  Image.Put32(RELOC + 0, 0);    // page RVA
  Image.Put32(RELOC + 4, RELOC_SIZE);
  for (uint32_t Index = 0; Index < 3; Index++) {
    Image.Put32(HIGHLOW_SITES[Index], IMAGE_BASE + HIGHLOW_TARGETS[Index]);
    Image.Put16(RelocEntry(Index), static_cast<uint16_t>(0x3000 | HIGHLOW_SITES[Index]));
  }
  Image.Put16(RelocEntry(3), 0x0000); // ABSOLUTE padding to a 4-byte block size
  return Image;
}

} // namespace pe_test
