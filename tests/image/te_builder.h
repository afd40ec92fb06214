// Builds small TE images around hand-assembled IA-32 code, laid out to run in place (each
// section's file offset equals its RVA), for the runner's tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pe_format.h"

constexpr uint32_t TEST_IMAGE_BASE = 0x00400000; // the linked ImageBase
constexpr uint32_t TEST_TEXT_RVA = 0x200;        // .text; the entry point is its first byte
constexpr uint16_t TEST_STRIPPED_SIZE = 0x178;   // DOS header, stub and PE32 headers

constexpr uint32_t TEST_SCN_TEXT = 0x60000020;      // code, execute, read
constexpr uint32_t TEST_SCN_NOT_PAGED = 0x08000000; // as the module's .text

struct TestImage {
  std::vector<uint8_t> Code;
  std::vector<uint32_t> Relocated; // offsets in Code of 32-bit absolute addresses (HIGHLOW)
  uint16_t Machine = 0x014C;
  uint32_t TextFlags = TEST_SCN_TEXT | TEST_SCN_NOT_PAGED;
};

// Where Code[Offset] is when the image sits at TEST_IMAGE_BASE: what relocated fields hold.
constexpr uint32_t LinkedAddress(uint32_t Offset) {
  return TEST_IMAGE_BASE + TEST_TEXT_RVA + Offset;
}

// The TE file: header, .text and .reloc, which hold the module's image rules (te-tool check).
std::vector<uint8_t> BuildTe(const TestImage &Image);

// Little-endian field access for tests that patch built images.
void PutU16(std::vector<uint8_t> &Bytes, size_t At, uint16_t Value);
void PutU32(std::vector<uint8_t> &Bytes, size_t At, uint32_t Value);

// File offsets of the fields those tests patch.
constexpr size_t TE_AT_MACHINE = offsetof(pe::EFI_TE_IMAGE_HEADER, Machine);
constexpr size_t TE_AT_SUBSYSTEM = offsetof(pe::EFI_TE_IMAGE_HEADER, Subsystem);
constexpr size_t TE_AT_DEBUG_DIRECTORY =
    offsetof(pe::EFI_TE_IMAGE_HEADER, DataDirectory) + sizeof(pe::IMAGE_DATA_DIRECTORY);
constexpr size_t TE_AT_STRIPPED_SIZE = offsetof(pe::EFI_TE_IMAGE_HEADER, StrippedSize);
constexpr size_t TE_AT_ENTRY = offsetof(pe::EFI_TE_IMAGE_HEADER, AddressOfEntryPoint);
constexpr size_t TE_AT_IMAGE_BASE = offsetof(pe::EFI_TE_IMAGE_HEADER, ImageBase);
constexpr size_t TE_AT_SECTIONS = sizeof(pe::EFI_TE_IMAGE_HEADER); // first section header
constexpr size_t SECTION_AT_RAW_POINTER = offsetof(pe::IMAGE_SECTION_HEADER, PointerToRawData);
