// The boot loader's device path of the module's file, its console text, and its release of the
// module's UART from the firmware's drivers.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "console_print.h"
#include "device_path.h"
#include "efi_types.h"
#include "uart_release.h"
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

struct ResourceCase {
  std::string List; // an ACPI resource list, hex bytes
  uint32_t Port;
};

// Descriptors: 47 I/O port (info, min, max, alignment, length), 4b fixed I/O port (10-bit base,
// length), 22 IRQ (mask), 2a DMA, 86 large 32-bit fixed memory, 79 end tag.
const ResourceCase RESOURCE_CASES[] = {
    {"47 01 f8 02 f8 02 01 08 22 08 00 79 00", 0x2F8},
    {"22 10 00 2a 04 00 47 01 f8 03 f8 03 01 08 79 00", 0x3F8},
    {"4b 60 00 01 79 00", 0x060},
    {"4b f8 fe 08 79 00", 0x2F8},
    {"86 09 00 01 00 00 d0 fe 00 04 00 00 47 01 40 02 40 02 01 08 79 00", 0x240},
    {"22 10 00 79 00 47 01 40 02 40 02 01 08", NO_IO_PORT},
    {"79 00", NO_IO_PORT},
};

TEST(FirstIoPort, ReadsTheFirstIoDescriptor) {
  for (const ResourceCase &Case : RESOURCE_CASES) {
    SCOPED_TRACE(Case.List);
    EXPECT_EQ(FirstIoPort(Bytes(Case.List + " ").data()), Case.Port);
  }
  // A list with no end tag is read no further than its 64th descriptor.
  std::string Endless;
  for (int Count = 0; Count < 64; ++Count) {
    Endless += "22 10 00 ";
  }
  EXPECT_EQ(FirstIoPort(Bytes(Endless + "47 01 f8 02 f8 02 01 08 ").data()), NO_IO_PORT);
}

// Boot services with Super I/O devices, each a handle and its resource list.
struct FakeFirmware {
  std::vector<std::vector<uint8_t>> Lists;
  EFI_STATUS Located = EFI_SUCCESS;
  EFI_STATUS Disconnect = EFI_SUCCESS;
  std::vector<UINTN> Disconnected;
  EFI_SIO_PROTOCOL Sio[4] = {};
};
FakeFirmware *Firmware = nullptr;

UINTN HandleIndex(EFI_HANDLE Handle) {
  return reinterpret_cast<UINTN>(Handle) - 1;
}

EFI_STATUS EFIAPI FakeLocate(uint32_t /*Type*/, const EFI_GUID * /*Protocol*/, void * /*Key*/,
                             UINTN *Size, EFI_HANDLE *Buffer) {
  if (Firmware->Located != EFI_SUCCESS) {
    return Firmware->Located;
  }
  *Size = Firmware->Lists.size() * sizeof(EFI_HANDLE);
  for (UINTN Index = 0; Index < Firmware->Lists.size(); ++Index) {
    Buffer[Index] = reinterpret_cast<EFI_HANDLE>(Index + 1);
  }
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI FakeHandleProtocol(EFI_HANDLE Handle, const EFI_GUID * /*Protocol*/,
                                     void **Interface) {
  *Interface = &Firmware->Sio[HandleIndex(Handle)];
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI FakeGetResources(const EFI_SIO_PROTOCOL *This, const uint8_t **List) {
  *List = Firmware->Lists[static_cast<size_t>(This - Firmware->Sio)].data();
  return EFI_SUCCESS;
}

EFI_STATUS EFIAPI FakeDisconnect(EFI_HANDLE Controller, EFI_HANDLE /*Driver*/,
                                 EFI_HANDLE /*Child*/) {
  Firmware->Disconnected.push_back(HandleIndex(Controller));
  return Firmware->Disconnect;
}

struct ReleaseCase {
  std::vector<std::string> Lists; // the devices' resource lists
  EFI_STATUS Located;
  EFI_STATUS Disconnect;
  EFI_STATUS Status;
  std::vector<UINTN> Disconnected; // the devices disconnected, in order
};

TEST(ReleaseUart, DisconnectsTheDevicesAtTheBase) {
  const std::string Com1 = "47 01 f8 03 f8 03 01 08 22 10 00 79 00 ";
  const std::string Com2 = "47 01 f8 02 f8 02 01 08 22 08 00 79 00 ";
  const std::string Keyboard = "47 01 60 00 60 00 01 01 47 01 64 00 64 00 01 01 79 00 ";
  const ReleaseCase Cases[] = {
      {{Com1, Com2, Keyboard}, EFI_SUCCESS, EFI_SUCCESS, EFI_SUCCESS, {1}},
      {{Com2, Com1, Com2}, EFI_SUCCESS, EFI_SUCCESS, EFI_SUCCESS, {0, 2}},
      {{Com1, Keyboard}, EFI_SUCCESS, EFI_SUCCESS, EFI_SUCCESS, {}},
      {{}, EFI_NOT_FOUND, EFI_SUCCESS, EFI_SUCCESS, {}},
      {{Com2, Com2}, EFI_BUFFER_TOO_SMALL, EFI_SUCCESS, EFI_BUFFER_TOO_SMALL, {}},
      {{Com1, Com2, Com2}, EFI_SUCCESS, EFI_INVALID_PARAMETER, EFI_INVALID_PARAMETER, {1}},
  };
  for (const ReleaseCase &Case : Cases) {
    SCOPED_TRACE(testing::PrintToString(Case.Lists));
    FakeFirmware Fake;
    for (const std::string &List : Case.Lists) {
      Fake.Lists.push_back(Bytes(List));
    }
    for (EFI_SIO_PROTOCOL &Sio : Fake.Sio) {
      Sio.GetResources = FakeGetResources;
    }
    Fake.Located = Case.Located;
    Fake.Disconnect = Case.Disconnect;
    Firmware = &Fake;
    EFI_BOOT_SERVICES Boot = {};
    Boot.LocateHandle = FakeLocate;
    Boot.HandleProtocol = FakeHandleProtocol;
    Boot.DisconnectController = FakeDisconnect;
    uint32_t Released = 99;
    EXPECT_EQ(ReleaseUart(&Boot, 0x2F8, &Released), Case.Status);
    EXPECT_EQ(Fake.Disconnected, Case.Disconnected);
    const size_t Succeeded = Case.Disconnect == EFI_SUCCESS ? Case.Disconnected.size() : 0;
    EXPECT_EQ(Released, Succeeded);
    Firmware = nullptr;
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
