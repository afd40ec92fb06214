// Device path of a file on the loader's volume: the volume's nodes, a file node, an end node.
#include "device_path.h"

#include <cstdint>

#include "efi_types.h"
#include "uefi_boot.h"

namespace {

constexpr uint32_t NODE_HEADER = sizeof(EFI_DEVICE_PATH_PROTOCOL); // 4 bytes
constexpr uint32_t MAX_NODE = 0xFFFF; // a node's length field is 16 bits wide

uint32_t NodeLength(const uint8_t *Node) {
  return Node[2] | uint32_t{Node[3]} << 8;
}

uint8_t *PutNode(uint8_t *Out, uint8_t Type, uint8_t SubType, uint32_t Length) {
  Out[0] = Type;
  Out[1] = SubType;
  Out[2] = static_cast<uint8_t>(Length);
  Out[3] = static_cast<uint8_t>(Length >> 8);
  return Out + NODE_HEADER;
}

} // namespace

EFI_STATUS FileDevicePath(const EFI_DEVICE_PATH_PROTOCOL *Volume, const CHAR16 *Name,
                          uint8_t *Buffer, uint32_t Capacity) {
  // The file node: header, then the name's 16-bit units and their NUL, little-endian.
  uint32_t NameUnits = 1;
  while (Name[NameUnits - 1] != 0) {
    if (++NameUnits > Capacity) {
      return EFI_BUFFER_TOO_SMALL;
    }
  }
  const uint32_t FileNode = NODE_HEADER + 2 * NameUnits;
  if (FileNode > MAX_NODE) {
    return EFI_INVALID_PARAMETER;
  }
  const uint32_t Tail = FileNode + NODE_HEADER; // file node and end node
  if (Tail > Capacity) {
    return EFI_BUFFER_TOO_SMALL;
  }

  // Measure the volume's nodes before writing anything.
  const auto *Source = reinterpret_cast<const uint8_t *>(Volume);
  uint32_t Prefix = 0;
  while (Source[Prefix] != DEVICE_PATH_END) {
    const uint32_t Length = NodeLength(Source + Prefix);
    if (Length < NODE_HEADER) {
      return EFI_INVALID_PARAMETER;
    }
    if (Length > Capacity - Tail - Prefix) {
      return EFI_BUFFER_TOO_SMALL;
    }
    Prefix += Length;
  }

  for (uint32_t Index = 0; Index < Prefix; ++Index) {
    Buffer[Index] = Source[Index];
  }
  uint8_t *Out = PutNode(Buffer + Prefix, DEVICE_PATH_MEDIA, DEVICE_PATH_MEDIA_FILE_PATH, FileNode);
  for (uint32_t Unit = 0; Unit < NameUnits; ++Unit, Out += 2) {
    Out[0] = static_cast<uint8_t>(Name[Unit]);
    Out[1] = static_cast<uint8_t>(Name[Unit] >> 8);
  }
  PutNode(Out, DEVICE_PATH_END, DEVICE_PATH_END_ENTIRE, NODE_HEADER);
  return EFI_SUCCESS;
}
