// Finding the firmware's Super I/O device at the module's UART base and disconnecting its
// drivers.
#include "uart_release.h"

#include <cstdint>

#include "efi_types.h"
#include "uefi_boot.h"

namespace {

// ACPI resource descriptors. A small one starts with a tag byte (bit 7 clear, item name in bits
// 6-3, the bytes after the tag in bits 2-0); a large one with a tag byte (bit 7 set) and a
// 16-bit length of the bytes after those three.
constexpr uint8_t ACPI_LARGE_ITEM = 0x80;
constexpr uint8_t ACPI_SMALL_IO_PORT = 0x08;       // min base, max base, alignment, length
constexpr uint8_t ACPI_SMALL_FIXED_IO_PORT = 0x09; // 10-bit base, length
constexpr uint8_t ACPI_SMALL_END_TAG = 0x0F;
constexpr uint32_t MAX_DESCRIPTORS = 64;

// Room for the Super I/O devices' handles: a chip has a dozen logical devices at most.
constexpr uint32_t MAX_SIO_DEVICES = 32;

} // namespace

uint32_t FirstIoPort(const uint8_t *Resources) {
  const uint8_t *Item = Resources;
  for (uint32_t Count = 0; Count < MAX_DESCRIPTORS; ++Count) {
    if ((Item[0] & ACPI_LARGE_ITEM) != 0) {
      Item += 3 + (Item[1] | uint32_t{Item[2]} << 8);
      continue;
    }
    const uint32_t Name = (Item[0] >> 3) & 0x0F;
    const uint32_t Length = Item[0] & 0x07;
    if (Name == ACPI_SMALL_END_TAG) {
      return NO_IO_PORT;
    }
    if (Name == ACPI_SMALL_IO_PORT && Length >= 3) {
      return Item[2] | uint32_t{Item[3]} << 8;
    }
    if (Name == ACPI_SMALL_FIXED_IO_PORT && Length >= 2) {
      return (Item[1] | uint32_t{Item[2]} << 8) & 0x3FF;
    }
    Item += 1 + Length;
  }
  return NO_IO_PORT;
}

EFI_STATUS ReleaseUart(EFI_BOOT_SERVICES *Boot, uint16_t Base, uint32_t *Released) {
  *Released = 0;
  EFI_HANDLE Devices[MAX_SIO_DEVICES];
  UINTN Size = sizeof Devices;
  EFI_STATUS Status =
      Boot->LocateHandle(EFI_LOCATE_BY_PROTOCOL, &EFI_SIO_PROTOCOL_GUID, nullptr, &Size, Devices);
  if (Status == EFI_NOT_FOUND) {
    return EFI_SUCCESS;
  }
  if (Status != EFI_SUCCESS) {
    return Status;
  }
  for (UINTN Index = 0; Index < Size / sizeof(EFI_HANDLE); ++Index) {
    EFI_SIO_PROTOCOL *Sio = nullptr;
    const uint8_t *Resources = nullptr; // the driver's own list: read, not freed
    if (Boot->HandleProtocol(Devices[Index], &EFI_SIO_PROTOCOL_GUID,
                             reinterpret_cast<void **>(&Sio)) != EFI_SUCCESS ||
        Sio->GetResources(Sio, &Resources) != EFI_SUCCESS || FirstIoPort(Resources) != Base) {
      continue;
    }
    Status = Boot->DisconnectController(Devices[Index], nullptr, nullptr);
    if (Status != EFI_SUCCESS) {
      return Status;
    }
    ++*Released;
  }
  return EFI_SUCCESS;
}
