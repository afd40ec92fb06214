#include "script_player.h"

#include "platform_ports.h"
#include "te_builder.h"

namespace {

// Table entries: kind, port (little-endian), value. The table ends with an END entry.
enum Kind : uint8_t { END = 0, OUT = 1, IN = 2, POLL_THRE = 3, PROBE = 4 };
constexpr uint8_t ENTRY_BYTES = 4;
constexpr size_t TABLE_POINTER_AT = 3; // the table's address in `mov esi`, relocated
constexpr size_t TABLE_AT = 0x48;      // after the code, 4-byte aligned

// Saves EBX and ESI, walks the table and makes each entry's access:
//   OUT:       out dx,al
//   IN:        in al,dx
//   POLL_THRE: in al,dx; test al,0x20; jz back to the IN
//   PROBE:     in al,dx; if it reads 0xFF, skip `value` entries
// then restores the two registers and returns EFI_SUCCESS. The table's address is an absolute
// one with a base relocation, as in the module: firmware refuses to load a TE image that has
// no relocations anywhere but at its ImageBase.
const std::vector<uint8_t> PLAYER_CODE = {
    0x53,                                // 00 push ebx
    0x56,                                // 01 push esi
    0xBE, 0x00, 0x00,        0x00, 0x00, // 02 mov esi,table
    0x8A, 0x1E,                          // 07 next: mov bl,[esi]
    0x66, 0x8B, 0x56,        0x01,       // 09 mov dx,[esi+1]
    0x8A, 0x46, 0x03,                    // 0D mov al,[esi+3]
    0x83, 0xC6, ENTRY_BYTES,             // 10 add esi,4
    0x80, 0xFB, OUT,                     // 13 cmp bl,OUT
    0x72, 0x28,                          // 16 jb done (END)
    0x75, 0x03,                          // 18 jne 1D
    0xEE,                                // 1A out dx,al
    0xEB, 0xEA,                          // 1B jmp next
    0x80, 0xFB, IN,                      // 1D cmp bl,IN
    0x75, 0x03,                          // 20 jne 25
    0xEC,                                // 22 in al,dx
    0xEB, 0xE2,                          // 23 jmp next
    0x80, 0xFB, POLL_THRE,               // 25 cmp bl,POLL_THRE
    0x75, 0x07,                          // 28 jne 31
    0xEC,                                // 2A poll: in al,dx
    0xA8, 0x20,                          // 2B test al,0x20
    0x74, 0xFB,                          // 2D jz poll
    0xEB, 0xD6,                          // 2F jmp next
    0x88, 0xC3,                          // 31 mov bl,al: the skip count
    0xEC,                                // 33 in al,dx
    0x3C, 0xFF,                          // 34 cmp al,0xff
    0x75, 0xCF,                          // 36 jne next
    0x0F, 0xB6, 0xDB,                    // 38 movzx ebx,bl
    0x8D, 0x34, 0x9E,                    // 3B lea esi,[esi+ebx*4]
    0xEB, 0xC7,                          // 3E jmp next
    0x5E,                                // 40 done: pop esi
    0x5B,                                // 41 pop ebx
    0x31, 0xC0,                          // 42 xor eax,eax
    0xC3,                                // 44 ret
};

bool IsSuperIo(const PortAccess &Access) {
  return Access.IsWrite && (Access.Port == SIO_INDEX_PORT || Access.Port == SIO_DATA_PORT ||
                            Access.Port == IO_DELAY_PORT);
}

void PutEntry(std::vector<uint8_t> &Code, Kind Type, uint16_t Port, uint8_t Value) {
  Code.insert(Code.end(),
              {Type, static_cast<uint8_t>(Port), static_cast<uint8_t>(Port >> 8), Value});
}

} // namespace

std::vector<uint8_t> PlayerImage(const std::vector<PortAccess> &Script) {
  std::vector<uint8_t> Code = PLAYER_CODE;
  Code.resize(TABLE_AT, 0xCC); // int3 between the code and the table
  for (size_t Index = 0; Index < Script.size(); ++Index) {
    const PortAccess &Access = Script[Index];
    if (Access.IsWrite) {
      PutEntry(Code, OUT, Access.Port, Access.Value);
    } else if (Access.Port == SIO_PROBE_PORT) {
      size_t Skip = 0;
      while (Index + 1 + Skip < Script.size() && IsSuperIo(Script[Index + 1 + Skip])) {
        ++Skip;
      }
      PutEntry(Code, PROBE, Access.Port, static_cast<uint8_t>(Skip));
    } else {
      PutEntry(Code, Access.Port == SERIAL_BASE + UART_LSR ? POLL_THRE : IN, Access.Port, 0);
    }
  }
  PutEntry(Code, END, 0, 0);
  PutU32(Code, TABLE_POINTER_AT, LinkedAddress(TABLE_AT));
  return BuildTe({Code, {TABLE_POINTER_AT}});
}
