// IA-32 port access: the module's only IN and OUT instructions.
#include "port_io.h"

uint8_t PortRead8(uint16_t Port) {
  uint8_t Value;
  __asm__ volatile("inb %w1, %b0" : "=a"(Value) : "Nd"(Port));
  return Value;
}

void PortWrite8(uint16_t Port, uint8_t Value) {
  __asm__ volatile("outb %b0, %w1" : : "a"(Value), "Nd"(Port));
}
