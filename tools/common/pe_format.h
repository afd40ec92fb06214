// The on-disk structures of PE/COFF images and of the PI firmware's TE (Terse Executable) image:
// packed structs of little-endian fields, named as those documents name them, for ReadStruct and
// PutStruct (struct_io.h); and the field values the image tools use.
#pragma once

#include <cstdint>

namespace pe {

#pragma pack(push, 1)

struct IMAGE_DOS_HEADER {
  uint16_t e_magic;     // IMAGE_DOS_SIGNATURE
  uint8_t e_unused[58]; // the MS-DOS program's fields
  uint32_t e_lfanew;    // file offset of the IMAGE_NT_SIGNATURE, then the IMAGE_FILE_HEADER
};

struct IMAGE_FILE_HEADER {
  uint16_t Machine, NumberOfSections;
  uint32_t TimeDateStamp, PointerToSymbolTable, NumberOfSymbols;
  uint16_t SizeOfOptionalHeader, Characteristics;
};

// PE32 (Magic 0x10B); NumberOfRvaAndSizes IMAGE_DATA_DIRECTORY entries follow it.
struct IMAGE_OPTIONAL_HEADER32 {
  uint16_t Magic;
  uint8_t MajorLinkerVersion, MinorLinkerVersion;
  uint32_t SizeOfCode, SizeOfInitializedData, SizeOfUninitializedData, AddressOfEntryPoint;
  uint32_t BaseOfCode, BaseOfData, ImageBase, SectionAlignment, FileAlignment;
  uint16_t MajorOperatingSystemVersion, MinorOperatingSystemVersion, MajorImageVersion;
  uint16_t MinorImageVersion, MajorSubsystemVersion, MinorSubsystemVersion;
  uint32_t Win32VersionValue, SizeOfImage, SizeOfHeaders, CheckSum;
  uint16_t Subsystem, DllCharacteristics;
  uint32_t SizeOfStackReserve, SizeOfStackCommit, SizeOfHeapReserve, SizeOfHeapCommit;
  uint32_t LoaderFlags, NumberOfRvaAndSizes;
};

struct IMAGE_DATA_DIRECTORY {
  uint32_t VirtualAddress, Size;
};

struct IMAGE_SECTION_HEADER {
  uint8_t Name[8]; // NUL-padded; no NUL when all 8 bytes are used
  uint32_t VirtualSize, VirtualAddress, SizeOfRawData, PointerToRawData;
  uint32_t PointerToRelocations, PointerToLinenumbers;
  uint16_t NumberOfRelocations, NumberOfLinenumbers;
  uint32_t Characteristics;
};

// Followed by 16-bit entries up to SizeOfBlock bytes from the block's start: the type in the
// top 4 bits, the offset into the 4 KiB page at VirtualAddress in the low 12.
struct IMAGE_BASE_RELOCATION {
  uint32_t VirtualAddress, SizeOfBlock;
};

// Stands in for the first StrippedSize bytes of the PE image; the section table follows it.
struct EFI_TE_IMAGE_HEADER {
  uint16_t Signature, Machine;
  uint8_t NumberOfSections, Subsystem;
  uint16_t StrippedSize;
  uint32_t AddressOfEntryPoint, BaseOfCode;
  uint64_t ImageBase;
  IMAGE_DATA_DIRECTORY DataDirectory[2]; // EFI_TE_IMAGE_DIRECTORY_ENTRY_*
};

#pragma pack(pop)

static_assert(sizeof(IMAGE_DOS_HEADER) == 64, "MS-DOS header");
static_assert(sizeof(IMAGE_FILE_HEADER) == 20, "COFF file header");
static_assert(sizeof(IMAGE_OPTIONAL_HEADER32) == 96, "PE32 optional header");
static_assert(sizeof(IMAGE_DATA_DIRECTORY) == 8, "data directory");
static_assert(sizeof(IMAGE_SECTION_HEADER) == 40, "section header");
static_assert(sizeof(IMAGE_BASE_RELOCATION) == 8, "base relocation block header");
static_assert(sizeof(EFI_TE_IMAGE_HEADER) == 40, "TE header");

constexpr uint16_t IMAGE_DOS_SIGNATURE = 0x5A4D;           // "MZ"
constexpr uint32_t IMAGE_NT_SIGNATURE = 0x00004550;        // "PE\0\0"
constexpr uint16_t EFI_TE_IMAGE_HEADER_SIGNATURE = 0x5A56; // "VZ"
constexpr uint16_t IMAGE_NT_OPTIONAL_HDR32_MAGIC = 0x10B;
constexpr uint16_t IMAGE_FILE_MACHINE_I386 = 0x014C;
constexpr uint16_t IMAGE_FILE_EXECUTABLE_IMAGE = 0x0002;
constexpr uint16_t IMAGE_SUBSYSTEM_EFI_BOOT_SERVICE_DRIVER = 11;

constexpr uint32_t IMAGE_DIRECTORY_ENTRY_IMPORT = 1;
constexpr uint32_t IMAGE_DIRECTORY_ENTRY_BASERELOC = 5;
constexpr uint32_t IMAGE_DIRECTORY_ENTRY_DEBUG = 6;
constexpr uint32_t EFI_TE_IMAGE_DIRECTORY_ENTRY_BASERELOC = 0;
constexpr uint32_t EFI_TE_IMAGE_DIRECTORY_ENTRY_DEBUG = 1;

constexpr uint32_t IMAGE_SCN_CNT_CODE = 0x00000020;
constexpr uint32_t IMAGE_SCN_MEM_DISCARDABLE = 0x02000000;
constexpr uint32_t IMAGE_SCN_MEM_NOT_PAGED = 0x08000000;
constexpr uint32_t IMAGE_SCN_MEM_EXECUTE = 0x20000000;
constexpr uint32_t IMAGE_SCN_MEM_READ = 0x40000000;
constexpr uint32_t IMAGE_SCN_MEM_WRITE = 0x80000000;

constexpr uint8_t IMAGE_REL_BASED_ABSOLUTE = 0; // padding: changes nothing
constexpr uint8_t IMAGE_REL_BASED_HIGH = 1;
constexpr uint8_t IMAGE_REL_BASED_LOW = 2;
constexpr uint8_t IMAGE_REL_BASED_HIGHLOW = 3; // adds the load delta to a 32-bit field
constexpr uint8_t IMAGE_REL_BASED_DIR64 = 10;

} // namespace pe
