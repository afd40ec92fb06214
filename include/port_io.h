// Byte-wide access to the x86 I/O port space: the module's only contact with the machine.
// The IA-32 build implements these with IN and OUT; the host build links a recording fake.
#pragma once

#include <cstdint>

extern "C" {
uint8_t PortRead8(uint16_t Port);
void PortWrite8(uint16_t Port, uint8_t Value);
}
