// Offsets (in bytes) and values of the PE/COFF and TE structures the tools read and write.
#pragma once

#include <cstdint>

// DOS header.
constexpr uint16_t DOS_SIGNATURE = 0x5A4D; // "MZ"
constexpr uint32_t DOS_HEADER_SIZE = 64;
constexpr uint32_t DOS_LFANEW = 0x3C; // file offset of the "PE\0\0" signature

// "PE\0\0" and the COFF file header that follows it.
constexpr uint32_t PE_SIGNATURE = 0x00004550;
constexpr uint32_t PE_SIGNATURE_SIZE = 4;
constexpr uint32_t COFF_HEADER_SIZE = 20;
constexpr uint32_t COFF_MACHINE = 0;
constexpr uint32_t COFF_NUMBER_OF_SECTIONS = 2;
constexpr uint32_t COFF_SIZE_OF_OPTIONAL_HEADER = 16;
constexpr uint32_t COFF_CHARACTERISTICS = 18;
constexpr uint16_t IMAGE_FILE_EXECUTABLE_IMAGE = 0x0002;
constexpr uint16_t IMAGE_FILE_MACHINE_I386 = 0x014C;

// PE32 optional header (magic 0x10B), up to and including its data directories.
constexpr uint16_t PE32_MAGIC = 0x10B;
constexpr uint32_t OPT_MAGIC = 0;
constexpr uint32_t OPT_ADDRESS_OF_ENTRY_POINT = 16;
constexpr uint32_t OPT_BASE_OF_CODE = 20;
constexpr uint32_t OPT_IMAGE_BASE = 28;
constexpr uint32_t OPT_SECTION_ALIGNMENT = 32;
constexpr uint32_t OPT_FILE_ALIGNMENT = 36;
constexpr uint32_t OPT_SUBSYSTEM = 68;
constexpr uint32_t OPT_NUMBER_OF_RVA_AND_SIZES = 92;
constexpr uint32_t OPT_DATA_DIRECTORIES = 96; // also the size of the fixed part
constexpr uint32_t DATA_DIRECTORY_SIZE = 8;   // RVA, size
constexpr uint32_t DIR_IMPORT = 1;
constexpr uint32_t DIR_BASE_RELOCATION = 5;
constexpr uint32_t DIR_DEBUG = 6;
constexpr uint32_t DIRS_NEEDED = DIR_DEBUG + 1;
constexpr uint16_t IMAGE_SUBSYSTEM_EFI_BOOT_SERVICE_DRIVER = 11;

// Smallest StrippedSize a PE32 image with the directories above can have: DOS header,
// signature, COFF header, optional header with DIRS_NEEDED directories.
constexpr uint32_t MIN_STRIPPED_SIZE = DOS_HEADER_SIZE + PE_SIGNATURE_SIZE + COFF_HEADER_SIZE +
                                       OPT_DATA_DIRECTORIES + DIRS_NEEDED * DATA_DIRECTORY_SIZE;

// Section header, 40 bytes each.
constexpr uint32_t SECTION_HEADER_SIZE = 40;
constexpr uint32_t SECTION_NAME_SIZE = 8;
constexpr uint32_t SECTION_VIRTUAL_SIZE = 8;
constexpr uint32_t SECTION_VIRTUAL_ADDRESS = 12;
constexpr uint32_t SECTION_SIZE_OF_RAW_DATA = 16;
constexpr uint32_t SECTION_POINTER_TO_RAW_DATA = 20;
constexpr uint32_t SECTION_CHARACTERISTICS = 36;

constexpr uint32_t IMAGE_SCN_CNT_CODE = 0x00000020;
constexpr uint32_t IMAGE_SCN_CNT_INITIALIZED_DATA = 0x00000040;
constexpr uint32_t IMAGE_SCN_MEM_DISCARDABLE = 0x02000000;
constexpr uint32_t IMAGE_SCN_MEM_NOT_PAGED = 0x08000000;
constexpr uint32_t IMAGE_SCN_MEM_EXECUTE = 0x20000000;
constexpr uint32_t IMAGE_SCN_MEM_READ = 0x40000000;
constexpr uint32_t IMAGE_SCN_MEM_WRITE = 0x80000000;

// Base relocation block: page RVA, block size in bytes, then 16-bit entries (type << 12 | offset).
constexpr uint32_t RELOC_BLOCK_HEADER_SIZE = 8;
constexpr uint8_t IMAGE_REL_BASED_ABSOLUTE = 0;
constexpr uint8_t IMAGE_REL_BASED_HIGH = 1;
constexpr uint8_t IMAGE_REL_BASED_LOW = 2;
constexpr uint8_t IMAGE_REL_BASED_HIGHLOW = 3;
constexpr uint8_t IMAGE_REL_BASED_DIR64 = 10;

// TE header (TE_HEADER_SIZE bytes; see te_image.h).
constexpr uint32_t TE_SIGNATURE_AT = 0;
constexpr uint32_t TE_MACHINE = 2;
constexpr uint32_t TE_NUMBER_OF_SECTIONS = 4;
constexpr uint32_t TE_SUBSYSTEM = 5;
constexpr uint32_t TE_STRIPPED_SIZE = 6;
constexpr uint32_t TE_ADDRESS_OF_ENTRY_POINT = 8;
constexpr uint32_t TE_BASE_OF_CODE = 12;
constexpr uint32_t TE_IMAGE_BASE = 16;
constexpr uint32_t TE_RELOCATION_DIRECTORY = 24;
constexpr uint32_t TE_DEBUG_DIRECTORY = 32;
