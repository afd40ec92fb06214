#include "image_rules.h"

#include <cstdint>
#include <string>

#include "messages.h"
#include "pe_format.h"
#include "te_image.h"
#include "te_names.h"

using namespace pe;

bool CheckIa32Machine(uint16_t Machine, std::string *Error) {
  if (Machine != IMAGE_FILE_MACHINE_I386) {
    return Fail(Error, "machine " + Hex(Machine, 4) + " (" + MachineName(Machine) +
                           ") is not IA-32 (0x014c)");
  }
  return true;
}

bool CheckNoDebugDirectory(const IMAGE_DATA_DIRECTORY &Debug, std::string *Error) {
  if (Debug.VirtualAddress != 0 || Debug.Size != 0) {
    return Fail(Error, "debug directory present (RVA " + Hex(Debug.VirtualAddress) + ", " +
                           std::to_string(Debug.Size) + " bytes): the image must carry none");
  }
  return true;
}

bool CheckIa32Relocation(const TeRelocation &Relocation, std::string *Error) {
  if (Relocation.Type != IMAGE_REL_BASED_HIGHLOW && Relocation.Type != IMAGE_REL_BASED_ABSOLUTE) {
    return Fail(Error, "relocation at RVA " + Hex(Relocation.Rva) + ": type " +
                           std::to_string(Relocation.Type) + " (" +
                           RelocationTypeName(Relocation.Type) +
                           ") is not HIGHLOW (3) or ABSOLUTE (0)");
  }
  return true;
}

bool CheckSitsAtItsRva(const TeSection &Section, std::string *Error) {
  if (Section.SizeOfRawData != 0 && Section.PointerToRawData != Section.VirtualAddress) {
    return Fail(Error, "section " + Section.Name + ": PointerToRawData " +
                           Hex(Section.PointerToRawData) + " differs from VirtualAddress " +
                           Hex(Section.VirtualAddress) + " (TE needs file offset == RVA)");
  }
  return true;
}
