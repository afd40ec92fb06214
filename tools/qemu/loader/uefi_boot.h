// The firmware tables and protocols the boot loader uses, laid out as UEFI defines them. On
// IA-32 every pointer and UINTN is 32 bits wide and every service takes its arguments on the
// stack in the C calling convention (EFIAPI). Service slots the loader never calls are kept as
// plain pointers so that the ones it does call sit at their defined offsets.
#pragma once

#include <cstddef>
#include <cstdint>

#include "efi_types.h"

typedef void *EFI_HANDLE;
typedef uintptr_t UINTN;
typedef uint8_t BOOLEAN;
typedef char16_t CHAR16;

constexpr EFI_STATUS EFI_INVALID_PARAMETER = EFI_STATUS_ERROR_BIT | 2;
constexpr EFI_STATUS EFI_BUFFER_TOO_SMALL = EFI_STATUS_ERROR_BIT | 5;
constexpr EFI_STATUS EFI_NOT_FOUND = EFI_STATUS_ERROR_BIT | 14;

// EFI_LOCATE_SEARCH_TYPE ByProtocol: the handles that carry a protocol.
constexpr uint32_t EFI_LOCATE_BY_PROTOCOL = 2;

// Every table starts with this 24-byte header.
struct EFI_TABLE_HEADER {
  uint64_t Signature;
  uint32_t Revision;
  uint32_t HeaderSize;
  uint32_t CRC32;
  uint32_t Reserved;
};

// One node of a device path: type, subtype, then the node's whole length in bytes (header
// included) as a little-endian 16-bit value that may sit at any byte address.
struct EFI_DEVICE_PATH_PROTOCOL {
  uint8_t Type;
  uint8_t SubType;
  uint8_t Length[2];
};

constexpr uint8_t DEVICE_PATH_MEDIA = 0x04;           // media node type
constexpr uint8_t DEVICE_PATH_MEDIA_FILE_PATH = 0x04; // media subtype: NUL-terminated file name
constexpr uint8_t DEVICE_PATH_END = 0x7F;             // end node type
constexpr uint8_t DEVICE_PATH_END_ENTIRE = 0xFF;      // end subtype: end of the whole path

struct EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL {
  void *Reset;
  EFI_STATUS(EFIAPI *OutputString)(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *This, const CHAR16 *String);
  void *TestString;
  void *QueryMode;
  void *SetMode;
  void *SetAttribute;
  void *ClearScreen;
  void *SetCursorPosition;
  void *EnableCursor;
  void *Mode;
};

struct EFI_BOOT_SERVICES {
  EFI_TABLE_HEADER Hdr;
  void *RaiseTPL;
  void *RestoreTPL;
  void *AllocatePages;
  void *FreePages;
  void *GetMemoryMap;
  void *AllocatePool;
  void *FreePool;
  void *CreateEvent;
  void *SetTimer;
  void *WaitForEvent;
  void *SignalEvent;
  void *CloseEvent;
  void *CheckEvent;
  void *InstallProtocolInterface;
  void *ReinstallProtocolInterface;
  void *UninstallProtocolInterface;
  EFI_STATUS(EFIAPI *HandleProtocol)(EFI_HANDLE Handle, const EFI_GUID *Protocol, void **Interface);
  void *Reserved;
  void *RegisterProtocolNotify;
  EFI_STATUS(EFIAPI *LocateHandle)
  (uint32_t SearchType, const EFI_GUID *Protocol, void *SearchKey, UINTN *BufferSize,
   EFI_HANDLE *Buffer);
  void *LocateDevicePath;
  void *InstallConfigurationTable;
  EFI_STATUS(EFIAPI *LoadImage)
  (BOOLEAN BootPolicy, EFI_HANDLE ParentImageHandle, const EFI_DEVICE_PATH_PROTOCOL *DevicePath,
   const void *SourceBuffer, UINTN SourceSize, EFI_HANDLE *ImageHandle);
  EFI_STATUS(EFIAPI *StartImage)(EFI_HANDLE ImageHandle, UINTN *ExitDataSize, CHAR16 **ExitData);
  void *Exit;
  void *UnloadImage;
  void *ExitBootServices;
  void *GetNextMonotonicCount;
  void *Stall;
  void *SetWatchdogTimer;
  void *ConnectController;
  EFI_STATUS(EFIAPI *DisconnectController)
  (EFI_HANDLE ControllerHandle, EFI_HANDLE DriverImageHandle, EFI_HANDLE ChildHandle);
  // OpenProtocol and the services after it are not called.
};

constexpr uint32_t EFI_RESET_SHUTDOWN = 2; // EFI_RESET_TYPE EfiResetShutdown: power off

struct EFI_RUNTIME_SERVICES {
  EFI_TABLE_HEADER Hdr;
  void *GetTime;
  void *SetTime;
  void *GetWakeupTime;
  void *SetWakeupTime;
  void *SetVirtualAddressMap;
  void *ConvertPointer;
  void *GetVariable;
  void *GetNextVariableName;
  void *SetVariable;
  void *GetNextHighMonotonicCount;
  void(EFIAPI *ResetSystem)(uint32_t ResetType, EFI_STATUS ResetStatus, UINTN DataSize,
                            const void *ResetData);
};

struct EFI_SYSTEM_TABLE {
  EFI_TABLE_HEADER Hdr;
  CHAR16 *FirmwareVendor;
  uint32_t FirmwareRevision;
  EFI_HANDLE ConsoleInHandle;
  void *ConIn;
  EFI_HANDLE ConsoleOutHandle;
  EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *ConOut;
  EFI_HANDLE StandardErrorHandle;
  EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *StdErr;
  EFI_RUNTIME_SERVICES *RuntimeServices;
  EFI_BOOT_SERVICES *BootServices;
  UINTN NumberOfTableEntries;
  void *ConfigurationTable;
};

// The leading members of the loaded-image protocol, up to the ones the loader reads.
struct EFI_LOADED_IMAGE_PROTOCOL {
  uint32_t Revision;
  EFI_HANDLE ParentHandle;
  EFI_SYSTEM_TABLE *SystemTable;
  EFI_HANDLE DeviceHandle; // the volume the image was loaded from
  EFI_DEVICE_PATH_PROTOCOL *FilePath;
  void *Reserved;
  uint32_t LoadOptionsSize;
  void *LoadOptions;
  void *ImageBase; // where the loader put the image's first byte (a TE image's TE header)
};

// The Super I/O protocol of the PI specification, on each device of a Super I/O chip.
// GetResources gives the device's current resources as an ACPI resource descriptor list.
struct EFI_SIO_PROTOCOL {
  void *RegisterAccess;
  EFI_STATUS(EFIAPI *GetResources)(const EFI_SIO_PROTOCOL *This, const uint8_t **ResourceList);
  void *SetResources;
  void *PossibleResources;
  void *Modify;
};

constexpr EFI_GUID EFI_LOADED_IMAGE_PROTOCOL_GUID = {
    0x5B1B31A1, 0x9562, 0x11D2, {0x8E, 0x3F, 0x00, 0xA0, 0xC9, 0x69, 0x72, 0x3B}};
constexpr EFI_GUID EFI_DEVICE_PATH_PROTOCOL_GUID = {
    0x09576E91, 0x6D3F, 0x11D2, {0x8E, 0x39, 0x00, 0xA0, 0xC9, 0x69, 0x72, 0x3B}};
constexpr EFI_GUID EFI_SIO_PROTOCOL_GUID = {
    0x215FDD18, 0xBD50, 0x4FEB, {0x89, 0x0B, 0x58, 0xCA, 0x0B, 0x47, 0x39, 0xE9}};

// Offsets in pointer-sized slots after the 24-byte header, as the tables define them; on
// IA-32 these are the byte offsets the firmware uses.
constexpr size_t SLOT = sizeof(void *);
static_assert(sizeof(EFI_TABLE_HEADER) == 24, "table header");
static_assert(offsetof(EFI_BOOT_SERVICES, HandleProtocol) == 24 + 16 * SLOT, "HandleProtocol");
static_assert(offsetof(EFI_BOOT_SERVICES, LocateHandle) == 24 + 19 * SLOT, "LocateHandle");
static_assert(offsetof(EFI_BOOT_SERVICES, LoadImage) == 24 + 22 * SLOT, "LoadImage");
static_assert(offsetof(EFI_BOOT_SERVICES, StartImage) == 24 + 23 * SLOT, "StartImage");
static_assert(offsetof(EFI_BOOT_SERVICES, DisconnectController) == 24 + 31 * SLOT,
              "DisconnectController");
static_assert(offsetof(EFI_SIO_PROTOCOL, GetResources) == SLOT, "GetResources");
static_assert(offsetof(EFI_RUNTIME_SERVICES, ResetSystem) == 24 + 10 * SLOT, "ResetSystem");
static_assert(offsetof(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL, OutputString) == SLOT, "OutputString");
#if defined(__i386__)
static_assert(offsetof(EFI_SYSTEM_TABLE, ConOut) == 44, "ConOut");
static_assert(offsetof(EFI_SYSTEM_TABLE, RuntimeServices) == 56, "RuntimeServices");
static_assert(offsetof(EFI_SYSTEM_TABLE, BootServices) == 60, "BootServices");
static_assert(offsetof(EFI_LOADED_IMAGE_PROTOCOL, DeviceHandle) == 12, "DeviceHandle");
static_assert(offsetof(EFI_LOADED_IMAGE_PROTOCOL, ImageBase) == 32, "ImageBase");
#endif
