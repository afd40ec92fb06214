#include "lzma_codec.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <lzma.h>
#include <string>
#include <utility>
#include <vector>

#include "messages.h"
#include "struct_io.h"

namespace {

// The decoder's memory: the dictionary and its tables. The firmware's own streams use 16 MiB.
constexpr uint64_t DECODER_MEMORY_LIMIT = 128u << 20;
constexpr uint64_t UNKNOWN_SIZE = UINT64_MAX;
constexpr size_t CHUNK = 1u << 20;

std::string LzmaReason(lzma_ret Result) {
  switch (Result) {
  case LZMA_MEM_ERROR:
    return "out of memory";
  case LZMA_MEMLIMIT_ERROR:
    return "its dictionary needs more than " + std::to_string(DECODER_MEMORY_LIMIT >> 20) + " MiB";
  case LZMA_FORMAT_ERROR:
    return "not an LZMA stream";
  case LZMA_OPTIONS_ERROR:
    return "properties liblzma does not support";
  case LZMA_DATA_ERROR:
    return "corrupt data";
  case LZMA_BUF_ERROR:
    return "the stream ends early";
  default:
    return "liblzma error " + std::to_string(static_cast<int>(Result));
  }
}

// Runs Stream over Input to its end, appending the output to Output until it holds Limit bytes.
lzma_ret RunToEnd(lzma_stream *Stream, ByteView Input, uint64_t Limit,
                  std::vector<uint8_t> *Output) {
  Stream->next_in = Input.data();
  Stream->avail_in = Input.size();
  lzma_ret Result = LZMA_OK;
  while (Result == LZMA_OK) {
    const size_t Used = Output->size();
    const uint64_t Room = Limit - Used;
    if (Room == 0) {
      break;
    }
    Output->resize(Used + static_cast<size_t>(Room < CHUNK ? Room : CHUNK));
    Stream->next_out = Output->data() + Used;
    Stream->avail_out = Output->size() - Used;
    Result = lzma_code(Stream, LZMA_FINISH);
    Output->resize(Output->size() - Stream->avail_out);
  }
  return Result;
}

} // namespace

bool LzmaDecode(ByteView Stream, uint64_t MaxSize, std::vector<uint8_t> *Data, LzmaHeader *Header,
                std::string *Error) {
  LzmaHeader Fields;
  if (!ReadStruct(Stream, 0, &Fields.Properties) ||
      !ReadStruct(Stream, 1, &Fields.DictionarySize) ||
      !ReadStruct(Stream, 5, &Fields.UncompressedSize)) {
    return Fail(Error, "LZMA stream of " + std::to_string(Stream.size()) +
                           " bytes is shorter than its 13-byte header");
  }
  if (Fields.UncompressedSize == UNKNOWN_SIZE) {
    return Fail(Error, "LZMA header gives no uncompressed size, which the firmware needs");
  }
  if (Fields.UncompressedSize > MaxSize) {
    return Fail(Error, "LZMA header's uncompressed size " + Hex(Fields.UncompressedSize) +
                           " is above the " + Hex(MaxSize) + " bytes left to decode");
  }
  lzma_stream Decoder = LZMA_STREAM_INIT;
  lzma_ret Result = lzma_alone_decoder(&Decoder, DECODER_MEMORY_LIMIT);
  std::vector<uint8_t> Output;
  // One byte past the size: a stream that goes on past it is caught, not cut.
  if (Result == LZMA_OK) {
    Result = RunToEnd(&Decoder, Stream, Fields.UncompressedSize + 1, &Output);
  }
  lzma_end(&Decoder);
  if (Result != LZMA_STREAM_END) {
    return Fail(Error, "LZMA stream: " + LzmaReason(Result) + " after " +
                           std::to_string(Output.size()) + " of " +
                           std::to_string(Fields.UncompressedSize) + " bytes");
  }
  *Data = std::move(Output);
  *Header = Fields;
  return true;
}

bool LzmaEncode(ByteView Data, const LzmaHeader &Like, std::vector<uint8_t> *Stream,
                std::string *Error) {
  lzma_options_lzma Options{};
  if (lzma_lzma_preset(&Options, LZMA_PRESET_DEFAULT) != 0) {
    return Fail(Error, "liblzma has no default preset");
  }
  Options.dict_size = Like.DictionarySize;
  Options.lc = Like.Properties % 9;
  Options.lp = Like.Properties / 9 % 5;
  Options.pb = Like.Properties / 45;
  lzma_stream Encoder = LZMA_STREAM_INIT;
  lzma_ret Result = lzma_alone_encoder(&Encoder, &Options);
  std::vector<uint8_t> Output;
  if (Result == LZMA_OK) {
    Result = RunToEnd(&Encoder, Data, UINT64_MAX, &Output);
  }
  lzma_end(&Encoder);
  if (Result != LZMA_STREAM_END || Output.size() < LZMA_HEADER_SIZE) {
    return Fail(Error, "LZMA encoding (properties " + Hex(Like.Properties, 2) + ", dictionary " +
                           Hex(Like.DictionarySize) + "): " + LzmaReason(Result));
  }
  // liblzma writes "size unknown"; the firmware's decoder needs the size.
  const uint64_t Size = Data.size();
  std::memcpy(Output.data() + 5, &Size, sizeof(Size));
  *Stream = std::move(Output);
  return true;
}
