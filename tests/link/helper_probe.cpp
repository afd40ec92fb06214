// Code that a compiler turns into calls of support routines. Each probe, linked into the
// IA-32 image with the image's own options, must make the link fail: the image links no
// library, so such a call can never slip into the module unnoticed.
#include <cstdint>

struct Block {
  char Bytes[256];
};

#if defined(PROBE_NONE)
// Control: nothing outside the module is called; this link must succeed.
extern "C" uint32_t Probe(uint32_t Value) {
  return Value * 3;
}
#elif defined(PROBE_MEMSET)
extern "C" void Probe(Block *Out) {
  *Out = Block{};
}
#elif defined(PROBE_MEMCPY)
extern "C" void Probe(Block *Out, const Block *In) {
  *Out = *In;
}
#elif defined(PROBE_DIVISION64)
extern "C" uint64_t Probe(uint64_t Dividend, uint64_t Divisor) {
  return Dividend / Divisor;
}
#elif defined(PROBE_STACK)
__attribute__((noinline)) extern "C" void Fill(volatile char *Bytes) {
  Bytes[0] = 1;
}
// A frame past one 4 KiB page makes the compiler probe the stack page by page.
extern "C" char Probe() {
  volatile char Frame[8192];
  Fill(Frame);
  return Frame[0];
}
#endif
