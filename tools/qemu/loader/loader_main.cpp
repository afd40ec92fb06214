// BOOTIA32.EFI: loads the module's image from the loader's own volume, starts it, reports both
// statuses on the firmware console and powers the machine off. The firmware's removable-media
// boot path runs it, so no shell is needed. Built for the board the module is built for: before
// anything else it takes the UART at the board's base away from the firmware's own drivers.
#include <cstdint>

#include "board.h"
#include "console_print.h"
#include "debugger_wait.h"
#include "device_path.h"
#include "efi_types.h"
#include "uart_release.h"
#include "uefi_boot.h"

namespace {

// The module's image, from the root of the volume the loader was loaded from.
constexpr CHAR16 MODULE_PATH[] = u"\\oemcom.te";
// Room for the volume's device path (PCI, disk and partition nodes take about 80 bytes on a
// virtual machine) and the file node.
constexpr uint32_t DEVICE_PATH_CAPACITY = 512;

EFI_STATUS LoadAndStartModule(EFI_HANDLE Self, EFI_BOOT_SERVICES *Boot,
                              EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *ConOut) {
  uint32_t Released = 0;
  EFI_STATUS Status = ReleaseUart(Boot, SERIAL_BASE, &Released);
  if (Status != EFI_SUCCESS || Released != 0) {
    ConsolePrint(ConOut, "oemcom-boot: UART 0x%04x taken from the firmware's drivers: %r\n",
                 SERIAL_BASE, Status);
  }
  EFI_LOADED_IMAGE_PROTOCOL *Loaded = nullptr;
  Status = Boot->HandleProtocol(Self, &EFI_LOADED_IMAGE_PROTOCOL_GUID,
                                reinterpret_cast<void **>(&Loaded));
  if (Status != EFI_SUCCESS) {
    ConsolePrint(ConOut, "oemcom-boot: loaded image protocol: %r\n", Status);
    return Status;
  }
  EFI_DEVICE_PATH_PROTOCOL *Volume = nullptr;
  Status = Boot->HandleProtocol(Loaded->DeviceHandle, &EFI_DEVICE_PATH_PROTOCOL_GUID,
                                reinterpret_cast<void **>(&Volume));
  if (Status != EFI_SUCCESS) {
    ConsolePrint(ConOut, "oemcom-boot: device path of the boot volume: %r\n", Status);
    return Status;
  }
  uint8_t Path[DEVICE_PATH_CAPACITY];
  Status = FileDevicePath(Volume, MODULE_PATH, Path, sizeof Path);
  if (Status != EFI_SUCCESS) {
    ConsolePrint(ConOut, "oemcom-boot: device path of %S: %r\n", MODULE_PATH, Status);
    return Status;
  }

  EFI_HANDLE Module = nullptr;
  Status = Boot->LoadImage(0, Self, reinterpret_cast<const EFI_DEVICE_PATH_PROTOCOL *>(Path),
                           nullptr, 0, &Module);
  ConsolePrint(ConOut, "oemcom-boot: LoadImage %S: %r\n", MODULE_PATH, Status);
  if (Status != EFI_SUCCESS) {
    return Status;
  }
  AwaitDebugger(Boot, Module, ConOut);
  Status = Boot->StartImage(Module, nullptr, nullptr);
  ConsolePrint(ConOut, "oemcom-boot: StartImage: %r\n", Status);
  return Status;
}

} // namespace

extern "C" EFI_STATUS EFIAPI LoaderMain(EFI_HANDLE ImageHandle, EFI_SYSTEM_TABLE *SystemTable) {
  const EFI_STATUS Status =
      LoadAndStartModule(ImageHandle, SystemTable->BootServices, SystemTable->ConOut);
  ConsolePrint(SystemTable->ConOut, "oemcom-boot: power off\n");
  SystemTable->RuntimeServices->ResetSystem(EFI_RESET_SHUTDOWN, Status, 0, nullptr);
  // Reached only if the firmware cannot power off: the boot manager takes over again.
  return Status;
}
