#include "debugger_wait.h"

#include <cstdint>

#include "console_print.h"
#include "efi_types.h"
#include "port_io.h"
#include "uefi_boot.h"

void AwaitDebugger(EFI_BOOT_SERVICES *Boot, EFI_HANDLE Module,
                   EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *ConOut) {
  if (PortRead8(DEBUGGER_PORT) != DEBUGGER_REQUEST) {
    return;
  }
  EFI_LOADED_IMAGE_PROTOCOL *Loaded = nullptr;
  const EFI_STATUS Status = Boot->HandleProtocol(Module, &EFI_LOADED_IMAGE_PROTOCOL_GUID,
                                                 reinterpret_cast<void **>(&Loaded));
  if (Status != EFI_SUCCESS) {
    ConsolePrint(ConOut, "oemcom-boot: loaded image protocol of the module: %r\n", Status);
    return;
  }
  // The debugger writes the flag through the machine's memory: volatile keeps every read.
  volatile uint32_t Waiting = 1;
  ConsolePrint(ConOut, "oemcom-boot: image at 0x%08x, debugger flag at 0x%08x\n",
               static_cast<uint32_t>(reinterpret_cast<uintptr_t>(Loaded->ImageBase)),
               static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&Waiting)));
  while (Waiting != 0) {
    __builtin_ia32_pause();
  }
}
