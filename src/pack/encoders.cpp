// The compressors of zelvix-pack (see encoders.h).
#include "pack/encoders.h"

#include <libdeflate.h>
#include <lzma.h>

#include <cstring>

#include "util/bytes.h"
#include "util/crc32.h"

DeflateEncoder::DeflateEncoder() : compressor_(libdeflate_alloc_compressor(12)) {}
DeflateEncoder::~DeflateEncoder() { libdeflate_free_compressor(compressor_); }

bool DeflateEncoder::Compress(const uint8_t* data, uint64_t size, Bytes& out) {
  if (compressor_ == nullptr || size < 2) return false;
  // Room for one byte less than the data: a stream that does not fit does not pay.
  out.resize(size_t(size - 1));
  const size_t got = libdeflate_deflate_compress(compressor_, data, size_t(size), out.data(), out.size());
  out.resize(got);
  return got > 0;
}

LzmaSettings LzmaSettingsFor(uint64_t size) {
  // lc 3, lp 0, pb 2, measured with preset 9e (bt4, nice_len 273, depth 512) and a 64 MiB
  // dictionary over the files of bench/pack_sizes.sh's payloads in solid order: pb 0 saves
  // 0.05% on the Windows application and 0.07% on the Python library but costs 0.3% on the
  // mixed payload; lc 1 with pb 0 saves 0.2% and 0.2% and costs 0.4%; lc 4 costs 0.4% (with
  // pb 0) and 0.2% on the first two; lc 0, lp 2 (for 32-bit code) costs 0.6% on the first.
  uint32_t dict = 4096;
  while (dict < MaxLzmaDictionary && dict < size) {
    const uint32_t between = dict + dict / 2;  // 3 * 2^(n-1)
    dict = between >= size ? between : dict * 2;
  }
  return {dict < MaxLzmaDictionary ? dict : MaxLzmaDictionary, 3, 0, 2};
}

void LzmaHeader(const LzmaSettings& s, uint8_t header[LzmaHeaderSize]) {
  header[0] = 9;   // the format's version, major
  header[1] = 20;  // minor
  StoreLE16(header + 2, 5);
  header[4] = uint8_t((s.pb * 5 + s.lp) * 9 + s.lc);
  StoreLE32(header + 5, s.dictSize);
}

namespace {

// The raw LZMA1 filter of these settings, without an end marker: preset 9 "extreme" (binary
// tree match finder bt4, longest match 273, search depth 512) with s's dictionary and bits.
bool LzmaOptions(const LzmaSettings& s, lzma_options_lzma& options) {
  if (lzma_lzma_preset(&options, 9 | LZMA_PRESET_EXTREME)) return false;
  options.dict_size = s.dictSize;
  options.lc = s.lc;
  options.lp = s.lp;
  options.pb = s.pb;
  options.ext_flags = 0;  // LZMA1EXT with no end marker
  options.ext_size_low = UINT32_MAX;
  options.ext_size_high = UINT32_MAX;
  return true;
}

}  // namespace

bool LzmaEntry(const uint8_t* data, uint64_t size, Bytes& out, bool always) {
  if (size <= LzmaHeaderSize && !always) return false;
  const LzmaSettings settings = LzmaSettingsFor(size);
  lzma_options_lzma options;
  if (!LzmaOptions(settings, options)) return false;
  const lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
  // Incompressible data grow by about 1/64 and a few bytes in an LZMA stream.
  out.resize(always ? size_t(LzmaHeaderSize + size + size / 32 + 1024) : size_t(size - 1));
  LzmaHeader(settings, out.data());
  size_t pos = LzmaHeaderSize;
  // LZMA_BUF_ERROR: the stream does not fit in fewer bytes than the data.
  if (lzma_raw_buffer_encode(filters, nullptr, data, size_t(size), out.data(), &pos, out.size()) != LZMA_OK)
    return false;
  out.resize(pos);
  return true;
}

struct LzmaStreamState {
  lzma_stream stream = LZMA_STREAM_INIT;
  Bytes chunk = Bytes(1 << 20);
};

LzmaStream::LzmaStream() : state_(new LzmaStreamState) {}
LzmaStream::~LzmaStream() { lzma_end(&state_->stream); }

bool LzmaStream::Start(uint64_t totalSize, Bytes& out) {
  const LzmaSettings settings = LzmaSettingsFor(totalSize);
  lzma_options_lzma options;
  if (!LzmaOptions(settings, options)) return false;
  const lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
  if (lzma_raw_encoder(&state_->stream, filters) != LZMA_OK) return false;
  uint8_t header[LzmaHeaderSize];
  LzmaHeader(settings, header);
  out.insert(out.end(), header, header + LzmaHeaderSize);
  return true;
}

bool LzmaStream::Code(int action, Bytes& out) {
  lzma_stream& s = state_->stream;
  for (;;) {
    s.next_out = state_->chunk.data();
    s.avail_out = state_->chunk.size();
    const lzma_ret ret = lzma_code(&s, lzma_action(action));
    out.insert(out.end(), state_->chunk.data(), state_->chunk.data() + (state_->chunk.size() - s.avail_out));
    if (ret == LZMA_STREAM_END) return true;
    if (ret != LZMA_OK) return false;
    if (action == LZMA_RUN && s.avail_in == 0) return true;
  }
}

bool LzmaStream::Feed(const uint8_t* data, uint64_t size, Bytes& out) {
  state_->stream.next_in = data;
  state_->stream.avail_in = size_t(size);
  return Code(LZMA_RUN, out);
}

bool LzmaStream::Finish(Bytes& out) {
  state_->stream.next_in = nullptr;
  state_->stream.avail_in = 0;
  return Code(LZMA_FINISH, out);
}

std::string LzmaDecodeEntry(FileHandle in, uint32_t compressed, uint32_t size, FileHandle out, uint32_t& crc) {
  uint8_t header[LzmaHeaderSize];
  if (compressed < LzmaHeaderSize || FileRead(in, header, LzmaHeaderSize) != int32_t(LzmaHeaderSize))
    return "cut short in its LZMA header";
  if (LoadLE16(header + 2) != 5 || header[4] >= 9 * 5 * 5) return "not an LZMA header";
  lzma_options_lzma options{};
  options.lc = header[4] % 9;
  options.lp = header[4] / 9 % 5;
  options.pb = header[4] / 45;
  options.dict_size = LoadLE32(header + 5) < 4096 ? 4096 : LoadLE32(header + 5);
  options.ext_flags = 0;  // no end marker: the stream ends with the size
  options.ext_size_low = size;
  options.ext_size_high = 0;
  const lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
  lzma_stream s = LZMA_STREAM_INIT;
  if (lzma_raw_decoder(&s, filters) != LZMA_OK) return "the LZMA decoder cannot start";
  Bytes input(1 << 20), output(1 << 20);
  uint32_t left = compressed - LzmaHeaderSize, register_ = 0xFFFFFFFF;
  uint64_t produced = 0;
  std::string problem;
  for (lzma_ret ret = LZMA_OK; ret == LZMA_OK;) {
    if (s.avail_in == 0 && left > 0) {
      const uint32_t want = left < input.size() ? left : uint32_t(input.size());
      if (FileRead(in, input.data(), want) != int32_t(want)) {
        problem = "cut short";
        break;
      }
      left -= want;
      s.next_in = input.data();
      s.avail_in = want;
    }
    s.next_out = output.data();
    s.avail_out = output.size();
    ret = lzma_code(&s, left == 0 ? LZMA_FINISH : LZMA_RUN);
    const uint32_t got = uint32_t(output.size() - s.avail_out);
    UpdateCrc(output.data(), int32_t(got), register_);
    produced += got;
    if (got > 0 && FileWrite(out, output.data(), got) != int32_t(got)) {
      problem = std::string("cannot stage the payload: ") + std::strerror(int(LastFileError()));
      break;
    }
    if (ret != LZMA_OK && ret != LZMA_STREAM_END) problem = "damaged LZMA data";
  }
  lzma_end(&s);
  if (problem.empty() && (produced != size || left != 0 || s.avail_in != 0))
    problem = "its LZMA data do not decode to its stated size";
  crc = register_ ^ 0xFFFFFFFF;
  return problem;
}
