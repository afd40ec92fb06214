// Checked copies between byte views and the packed structs of pe_format.h (or integers). A
// read copies only when every byte lies inside the view, and its result must be used: no field
// is read from past the end, nor stands in as a zero.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <type_traits>
#include <vector>

// The copies are byte for byte: the host must be little-endian like the files (x86-64 is).
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "struct copies need a little-endian host");

// Bytes the tools read: a file, or a part of one. Nothing is copied to make one.
using ByteView = std::span<const uint8_t>;

// True when [Offset, Offset + Length) lies within Size bytes (no 32-bit operand can wrap).
constexpr bool Fits(uint64_t Size, uint64_t Offset, uint64_t Length) {
  return Offset <= Size && Length <= Size - Offset;
}

// The Length bytes at Offset of Bytes, when they all lie inside it.
[[nodiscard]] inline bool SubView(ByteView Bytes, uint64_t Offset, uint64_t Length,
                                  ByteView *Part) {
  if (!Fits(Bytes.size(), Offset, Length)) {
    return false;
  }
  *Part = Bytes.subspan(static_cast<size_t>(Offset), static_cast<size_t>(Length));
  return true;
}

// Copies the Count structs at Offset of Bytes to Values[0..Count) and returns true when all
// their bytes lie inside Bytes; otherwise returns false and leaves Values as they were.
template <typename T>
[[nodiscard]] bool ReadStruct(ByteView Bytes, uint64_t Offset, T *Values, uint64_t Count = 1) {
  static_assert(std::is_trivially_copyable_v<T>, "ReadStruct copies bytes");
  if (Count > Bytes.size() / sizeof(T) || !Fits(Bytes.size(), Offset, Count * sizeof(T))) {
    return false;
  }
  if (Count != 0) { // an empty view's data() may be null, which memcpy must not get
    std::memcpy(Values, Bytes.data() + Offset, Count * sizeof(T));
  }
  return true;
}

// Writes Value at Offset of Bytes, first growing Bytes with zeros when it is shorter.
template <typename T> void PutStruct(std::vector<uint8_t> *Bytes, uint64_t Offset, const T &Value) {
  static_assert(std::is_trivially_copyable_v<T>, "PutStruct copies bytes");
  if (Bytes->size() < Offset + sizeof(T)) {
    Bytes->resize(Offset + sizeof(T));
  }
  std::memcpy(Bytes->data() + Offset, &Value, sizeof(T));
}
