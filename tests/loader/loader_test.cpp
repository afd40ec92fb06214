// The boot loader's device path of the module's file and its console text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "console_print.h"
#include "device_path.h"
#include "efi_types.h"
#include "uefi_boot.h"

namespace {

std::vector<uint8_t> Bytes(const std::string &Hex) {
  std::vector<uint8_t> Out;
  for (size_t At = 0; At + 1 < Hex.size(); At += 3) {
    Out.push_back(static_cast<uint8_t>(std::stoul(Hex.substr(At, 2), nullptr, 16)));
  }
  return Out;
}

struct PathCase {
  const char *Volume; // the volume's device path, hex bytes
  uint32_t Capacity;
  EFI_STATUS Status;
  const char *Path; // the whole path written on success, hex bytes
};

// File node for u"\\a": media/file path, 10 bytes, "\a" and NUL; then the end node.
#define FILE_A "04 04 0a 00 5c 00 61 00 00 00 7f ff 04 00"
#define PCI_ROOT "02 01 0c 00 d0 41 03 0a 00 00 00 00 "
#define PCI_DEVICE "01 01 06 00 02 1f "
#define END "7f ff 04 00"

const PathCase PATH_CASES[] = {
    {END, 14, EFI_SUCCESS, FILE_A},
    {END, 13, EFI_BUFFER_TOO_SMALL, nullptr},
    {PCI_ROOT PCI_DEVICE END, 32, EFI_SUCCESS, PCI_ROOT PCI_DEVICE FILE_A},
    {PCI_ROOT PCI_DEVICE END, 31, EFI_BUFFER_TOO_SMALL, nullptr},
    // only the first instance of a multi-instance path
    {PCI_DEVICE "7f 01 04 00 " PCI_ROOT END, 64, EFI_SUCCESS, PCI_DEVICE FILE_A},
    {PCI_DEVICE "01 01 02 00 " END, 64, EFI_INVALID_PARAMETER, nullptr},
    {PCI_DEVICE PCI_DEVICE PCI_DEVICE PCI_DEVICE END, 30, EFI_BUFFER_TOO_SMALL, nullptr},
};

TEST(FileDevicePath, AppendsTheFileToTheVolumePath) {
  for (const PathCase &Case : PATH_CASES) {
    SCOPED_TRACE(std::string(Case.Volume) + ", capacity " + std::to_string(Case.Capacity));
    const std::vector<uint8_t> Volume = Bytes(Case.Volume);
    std::vector<uint8_t> Buffer(Case.Capacity + 8, 0xA5);
    const EFI_STATUS Status =
        FileDevicePath(reinterpret_cast<const EFI_DEVICE_PATH_PROTOCOL *>(Volume.data()), u"\\a",
                       Buffer.data(), Case.Capacity);
    EXPECT_EQ(Status, Case.Status);
    std::vector<uint8_t> Want = Case.Path != nullptr ? Bytes(Case.Path) : std::vector<uint8_t>{};
    Want.resize(Buffer.size(), 0xA5); // nothing written past the path, nothing on failure
    EXPECT_EQ(Buffer, Want);
  }
}

std::vector<std::u16string> Written;

EFI_STATUS EFIAPI RecordString(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL * /*This*/, const CHAR16 *String) {
  Written.emplace_back(String);
  return EFI_SUCCESS;
}

TEST(ConsolePrint, WritesFormattedTextWithConsoleLineEnds) {
  EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL ConOut = {};
  ConOut.OutputString = RecordString;
  const std::string Long(200, 'x');
  struct {
    std::vector<std::u16string> Want;
    void (*Print)(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *ConOut, const std::string &Long);
  } const CASES[] = {
      {{u"a\r\nb\r\n"}, [](auto *Out, auto &) { ConsolePrint(Out, "a\nb\n"); }},
      {{u"LoadImage \\a: EFI_NOT_FOUND"},
       [](auto *Out, auto &) { ConsolePrint(Out, "LoadImage %S: %r", u"\\a", 0x8000000Eu); }},
      {{std::u16string(CONSOLE_PRINT_LIMIT, u'x')},
       [](auto *Out, auto &Text) { ConsolePrint(Out, "%s\n", Text.c_str()); }},
      {{}, [](auto *Out, auto &) { ConsolePrint(Out, ""); }},
  };
  for (const auto &Case : CASES) {
    Written.clear();
    Case.Print(&ConOut, Long);
    EXPECT_EQ(Written, Case.Want);
  }
}

} // namespace
