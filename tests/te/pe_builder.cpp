#include "pe_builder.h"

#include "pe_format.h"
#include "struct_io.h"

using namespace pe;

namespace pe_test {

void Pe::Put16(uint32_t Offset, uint16_t Value) {
  PutStruct(&Bytes, Offset, Value);
}

void Pe::Put32(uint32_t Offset, uint32_t Value) {
  PutStruct(&Bytes, Offset, Value);
}

void Pe::PutName(uint32_t Index, const std::string &Name) {
  for (uint32_t Position = 0; Position < 8; Position++) {
    Bytes.at(Section(Index, Position)) = Position < Name.size() ? Name[Position] : 0;
  }
}

namespace {

void PutSection(Pe *Image, uint32_t Index, const std::string &Name, uint32_t Rva,
                uint32_t VirtualSize, uint32_t RawSize, uint32_t Flags) {
  IMAGE_SECTION_HEADER Header{};
  Header.VirtualSize = VirtualSize;
  Header.VirtualAddress = Rva;
  Header.SizeOfRawData = RawSize;
  Header.PointerToRawData = Rva;
  Header.Characteristics = Flags;
  PutStruct(&Image->Bytes, Section(Index, 0), Header);
  Image->PutName(Index, Name);
}

} // namespace

Pe BuildValidPe() {
  Pe Image;
  Image.Bytes.assign(FILE_SIZE, 0);
  IMAGE_DOS_HEADER Dos{};
  Dos.e_magic = 0x5A4D; // "MZ"
  Dos.e_lfanew = LFANEW;
  PutStruct(&Image.Bytes, 0, Dos);
  Image.Put32(LFANEW, 0x00004550); // "PE\0\0"
  IMAGE_FILE_HEADER Coff{};
  Coff.Machine = 0x014C;
  Coff.NumberOfSections = 2;
  Coff.SizeOfOptionalHeader = 224;
  Coff.Characteristics = 0x0102; // executable image, 32-bit machine
  PutStruct(&Image.Bytes, COFF, Coff);
  IMAGE_OPTIONAL_HEADER32 Optional{};
  Optional.Magic = 0x010B;
  Optional.AddressOfEntryPoint = ENTRY;
  Optional.BaseOfCode = TEXT;
  Optional.ImageBase = IMAGE_BASE;
  Optional.SectionAlignment = 32;
  Optional.FileAlignment = 32;
  Optional.SizeOfImage = FILE_SIZE;
  Optional.SizeOfHeaders = TEXT;
  Optional.Subsystem = 11;
  Optional.NumberOfRvaAndSizes = 16;
  PutStruct(&Image.Bytes, OPTIONAL, Optional);
  PutStruct(&Image.Bytes, DIR_RELOC, IMAGE_DATA_DIRECTORY{RELOC, RELOC_SIZE});
  PutSection(&Image, 0, ".text", TEXT, TEXT_SIZE, TEXT_SIZE, TEXT_FLAGS);
  PutSection(&Image, 1, ".reloc", RELOC, RELOC_SIZE, RELOC_RAW, RELOC_FLAGS);

  for (uint32_t Offset = TEXT; Offset < TEXT + TEXT_SIZE; Offset++) {
    Image.Bytes[Offset] = 0x90; // NOP
  }
  Image.Bytes[TEXT] = 0xA1;     // MOV EAX, [moffs32]: its address is HIGHLOW_SITES[0]
  Image.Bytes[TEXT + 5] = 0xC3; // RET
  PutStruct(&Image.Bytes, RELOC, IMAGE_BASE_RELOCATION{0, RELOC_SIZE}); // page RVA 0
  for (uint32_t Index = 0; Index < 3; Index++) {
    Image.Put32(HIGHLOW_SITES[Index], IMAGE_BASE + HIGHLOW_TARGETS[Index]);
    Image.Put16(RelocEntry(Index), static_cast<uint16_t>(0x3000 | HIGHLOW_SITES[Index]));
  }
  Image.Put16(RelocEntry(3), 0x0000); // ABSOLUTE padding to a 4-byte block size
  return Image;
}

} // namespace pe_test
