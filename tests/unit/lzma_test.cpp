// The LZMA codec against liblzma (the oracle: its raw LZMA1 encoder writes the streams), and
// hand-made streams (support/lzma_writer.h) for the corners no encoder writes. Every stream
// runs as a whole ZIP method 14 entry through real files, through DecodeLzma and through the
// pull interface in pieces of several sizes, in both forms of the decoder: the native one and
// the stub's compact one (support/lzma_compact.h).
#include <gtest/gtest.h>
#include <lzma.h>
#include <string>
#include "lzma/lzma.h"
#include "support/entry_runner.h"
#include "support/lzma_compact.h"
#include "support/lzma_writer.h"
#include "support/test_data.h"
#include "util/memory.h"

namespace {

struct Props {
  uint32_t lc = 3, lp = 0, pb = 2, dict = 1 << 16;
};

Bytes Header(const Props& p) { return LzmaWriter(p.lc, p.lp, p.pb).Header(p.dict); }

// The entry: header, then liblzma's raw LZMA1 stream of data (with or without the marker).
Bytes Compress(const Bytes& data, const Props& p, bool marker, uint32_t preset = 6) {
  lzma_options_lzma o;
  if (lzma_lzma_preset(&o, preset)) abort();
  o.dict_size = p.dict < 4096 ? 4096 : p.dict;  // the header still says p.dict
  o.lc = p.lc;
  o.lp = p.lp;
  o.pb = p.pb;
  o.ext_flags = marker ? LZMA_LZMA1EXT_ALLOW_EOPM : 0;
  o.ext_size_low = o.ext_size_high = UINT32_MAX;
  const lzma_filter filters[] = {{LZMA_FILTER_LZMA1EXT, &o}, {LZMA_VLI_UNKNOWN, nullptr}};
  Bytes out = Header(p);
  const size_t head = out.size();
  out.resize(head + data.size() + data.size() / 2 + 1024);
  size_t pos = head;
  if (lzma_raw_buffer_encode(filters, nullptr, data.data(), data.size(), out.data(), &pos, out.size()) != LZMA_OK)
    abort();
  out.resize(pos);
  return out;
}

Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// The two forms of the decoder.
struct Form {
  const char* name;
  bool (*decode)(EntryInput&, EntryOutput&);
  bool (*begin)(LzmaDecoder&, EntryInput&, EntryOutput&);
  uint32_t (*pull)(LzmaDecoder&, EntryInput&, const uint8_t**, uint32_t);
};
const Form Forms[] = {{"native", DecodeLzma, LzmaBegin, LzmaPull},
                      {"compact", CompactDecodeLzma, CompactLzmaBegin, CompactLzmaPull}};

// The entry through LzmaBegin and LzmaPull, each pull asking for maxFor(call) bytes. Also
// checks that no piece is longer than asked or reaches past the window.
struct Pulled {
  Bytes output;
  bool begun = false;
  LzmaResult result = LzmaResult::Going;
  uint32_t windowSize = 0;
};
template <typename MaxFor>
Pulled Pull(const Bytes& entry, uint32_t declared, bool marker, MaxFor maxFor, const Form& form = Forms[0]) {
  static TempFile file;
  file.Set(entry);
  Pulled r;
  EntryInput in(file.fd, int32_t(entry.size()));
  in.flags = marker ? 2 : 0;
  EntryOutput out(NoFile);
  out.declaredSize = declared;
  LzmaDecoder s;
  r.begun = form.begin(s, in, out);
  if (!r.begun) return r;
  r.windowSize = s.windowSize;
  const uint8_t* data;
  for (uint32_t call = 0;; ++call) {
    const uint32_t max = maxFor(call);
    const uint32_t n = form.pull(s, in, &data, max);
    if (n == 0) break;
    EXPECT_LE(n, max);
    EXPECT_TRUE(data >= s.window && data + n <= s.window + s.windowSize);
    r.output.insert(r.output.end(), data, data + n);
  }
  r.result = s.result;
  return r;
}

// Decodes the entry both ways; both must give data exactly, and end as the format says.
void ExpectDecodes(const Bytes& entry, const Bytes& data, bool marker, const std::string& what) {
  for (const Form& form : Forms) {
    const EntryResult r = DecodeBytes(form.decode, entry, WholeInput, nullptr, uint32_t(data.size()), marker ? 2 : 0);
    ASSERT_TRUE(r.ended) << what << " " << form.name;
    ASSERT_EQ(r.output.size(), data.size()) << what << " " << form.name;
    ASSERT_TRUE(r.output == data) << what << " " << form.name;
    ASSERT_EQ(r.crc, ZlibCrc(data)) << what << " " << form.name;
    for (uint32_t step : {1u, 7u, 4099u}) {
      const Pulled p =
          Pull(entry, uint32_t(data.size()), marker, [step](uint32_t call) { return step + call % 3; }, form);
      ASSERT_EQ(p.result, LzmaResult::Ended) << what << " " << form.name << " step " << step;
      ASSERT_TRUE(p.output == data) << what << " " << form.name << " step " << step;
    }
  }
}

bool Fails(const Bytes& entry, uint32_t declared, bool marker) {
  bool failed = true;
  for (const Form& form : Forms) {
    const EntryResult r = DecodeBytes(form.decode, entry, WholeInput, nullptr, declared, marker ? 2 : 0);
    const Pulled p = Pull(entry, declared, marker, [](uint32_t) { return 1000u; }, form);
    EXPECT_EQ(r.ended, p.result == LzmaResult::Ended) << form.name;
    EXPECT_LE(r.output.size(), declared) << form.name;
    failed = failed && !r.ended && p.result != LzmaResult::Ended;
  }
  return failed;
}

TEST(LzmaMatchesLiblzma, DataOfEveryKindWithAndWithoutTheMarker) {
  int i = 0;
  for (DataKind kind : AllDataKinds)
    for (size_t size : {size_t(0), size_t(1), size_t(300), size_t(70000)})
      for (bool marker : {false, true}) {
        const Bytes data = MakeData(kind, size, 50 + i++);
        ExpectDecodes(Compress(data, {}, marker, i % 2 ? 6 : 9 | LZMA_PRESET_EXTREME), data, marker,
                      "kind " + std::to_string(int(kind)) + " size " + std::to_string(size) +
                          (marker ? " marker" : ""));
      }
}

TEST(LzmaMatchesLiblzma, LiteralAndPositionBitsAcrossTheirRange) {
  // liblzma writes lc + lp <= 4; the writer below covers the rest.
  const Props rows[] = {{0, 0, 0}, {3, 0, 2}, {4, 0, 4}, {0, 4, 0}, {1, 3, 1}, {2, 2, 3}, {0, 0, 4}, {4, 0, 0}};
  int i = 0;
  for (const Props& p : rows) {
    const Bytes data = MakeData(AllDataKinds[i % 6], 40000, 300 + i);
    ExpectDecodes(Compress(data, p, i % 2), data, i % 2,
                  "lc " + std::to_string(p.lc) + " lp " + std::to_string(p.lp) + " pb " + std::to_string(p.pb));
    ++i;
  }
}

TEST(LzmaMatchesLiblzma, DictionariesFrom4KbTo64MbAllocateAtMostTheEntrysSize) {
  const Bytes data = MakeData(DataKind::Mixed, 150000, 77);
  struct Row { uint32_t dict, size, window; };
  const Row rows[] = {
      {4096, 150000, 4096},        {1 << 16, 150000, 1 << 16}, {1 << 20, 150000, 150000},
      {1 << 26, 150000, 150000},   {1 << 26, 1000, 4096},      {1000, 150000, 4096},  // at least 4 KB
  };
  for (const Row& row : rows) {
    const Bytes part(data.begin(), data.begin() + row.size);
    const Bytes entry = Compress(part, {3, 0, 2, row.dict}, row.size % 2);
    const std::string what = "dictionary " + std::to_string(row.dict) + " size " + std::to_string(row.size);
    ExpectDecodes(entry, part, row.size % 2, what);
    const Pulled p = Pull(entry, row.size, row.size % 2, [](uint32_t) { return 65536u; });
    EXPECT_EQ(p.windowSize, row.window) << what;
  }
}

TEST(LzmaPull, PiecesOfAnySizeStopAtTheWindowsEnd) {
  // 4 KB window, 100 KB of output: the window wraps 25 times, and pieces end at its end.
  const Bytes data = MakeData(DataKind::Text, 100000, 5);
  const Bytes entry = Compress(data, {3, 0, 2, 4096}, true);
  for (uint32_t max : {1u, 2u, 3u, 1000u, 4096u, 100000u}) {
    const Pulled p = Pull(entry, uint32_t(data.size()), true, [max](uint32_t) { return max; });
    EXPECT_EQ(p.result, LzmaResult::Ended) << max;
    EXPECT_TRUE(p.output == data) << max;
  }
}

TEST(LzmaInput, TheEndMarkerAtEveryPositionAroundTheFirstChunksEnd) {
  // Incompressible data make a stream about as long as the data: stepping its size moves the
  // marker's last bytes across the 32 KB chunk boundary of the input.
  std::vector<bool> covered(16);
  const uint32_t around = uint32_t(uint64_t(32768) * 32768 / Compress(MakeData(DataKind::Random, 32768, 1), {}, true).size());
  const Bytes all = MakeData(DataKind::Random, around + 40, 2);
  for (uint32_t size = around - 40; size < around + 40; ++size) {
    const Bytes data(all.begin(), all.begin() + size);  // one byte more each time
    const Bytes entry = Compress(data, {}, true);
    const int64_t off = int64_t(entry.size()) - (InputChunkSize - 8);
    if (off >= 0 && off < 16) covered[size_t(off)] = true;
    ExpectDecodes(entry, data, true, "size " + std::to_string(size));
  }
  for (size_t i = 0; i < covered.size(); ++i) EXPECT_TRUE(covered[i]) << "stream ends " << i << " past 32760";
}

TEST(LzmaInput, CutStreamsFail) {
  const Bytes data = MakeData(DataKind::Mixed, 20000, 9);
  for (bool marker : {false, true}) {
    const Bytes entry = Compress(data, {}, marker);
    for (size_t keep : {size_t(0), size_t(4), size_t(9), size_t(13), entry.size() / 2, entry.size() - 2}) {
      const Bytes cut(entry.begin(), entry.begin() + keep);
      EXPECT_TRUE(Fails(cut, uint32_t(data.size()), marker)) << keep;
    }
    // The entry's own size ends the input, whatever the file holds after it.
    EXPECT_FALSE(LzmaBytes(Cat(entry, Bytes(100)), uint32_t(data.size()), marker, int64_t(entry.size()) - 3).ended);
    EXPECT_TRUE(LzmaBytes(Cat(entry, Bytes(100)), uint32_t(data.size()), marker, int64_t(entry.size())).ended);
  }
}

TEST(LzmaHeader, InvalidHeadersFailTheEntry) {
  const Bytes data = MakeData(DataKind::Text, 1000, 3);
  const Bytes good = Compress(data, {}, true);
  struct Row { size_t at; uint8_t value; const char* what; };
  const Row rows[] = {
      {2, 4, "properties size 4"}, {2, 6, "properties size 6"}, {3, 1, "properties size 261"},
      {4, 225, "properties byte 225"}, {4, 255, "properties byte 255"},
      {9, 1, "range decoder's first byte not 0"},
  };
  for (const Row& row : rows) {
    Bytes bad = good;
    bad[row.at] = row.value;
    EXPECT_TRUE(Fails(bad, uint32_t(data.size()), true)) << row.what;
  }
  Bytes top = good;
  top[4] = 224;  // lc 8, lp 4, pb 4: the largest model is still accepted (the stream then fails)
  EXPECT_TRUE(Pull(top, uint32_t(data.size()), true, [](uint32_t) { return 100u; }).begun);
}

TEST(LzmaHeader, AWindowThatCannotBeAllocatedFailsOnlyTheEntry) {
  const Bytes data = MakeData(DataKind::Text, 200000, 4);
  const Bytes entry = Compress(data, {3, 0, 2, 1 << 26}, false);
  struct Limit {
    explicit Limit(uint32_t n) { MemTryAllocLimit = n; }
    ~Limit() { MemTryAllocLimit = 0xFFFFFFFF; }
  };
  {
    const Limit limit(150000);  // the model alone fits, the window of the entry's size not
    EXPECT_TRUE(Fails(entry, uint32_t(data.size()), false));
  }
  {
    const Limit limit(300000);  // a 64 MB dictionary, but only the entry's 200 KB are asked for
    ExpectDecodes(entry, data, false, "limited heap");
  }
  // Beyond 2 GiB no window is asked for at all.
  Bytes huge = entry;
  huge[5] = huge[6] = huge[7] = huge[8] = 0xFF;
  EXPECT_FALSE(Pull(huge, 0x80000001, false, [](uint32_t) { return 100u; }).begun);
}

// Hand-made streams: each row a sequence of symbols, the declared size, the flag, the outcome.
struct Crafted {
  const char* what;
  void (*write)(LzmaWriter& w);
  uint32_t declared;
  bool marker, ok;
};

void Abc(LzmaWriter& w) {
  for (char c : std::string("abc")) w.Literal(uint8_t(c));
}

const Crafted CraftedRows[] = {
    {"literals only, no marker", Abc, 3, false, true},
    {"literals and the marker", [](LzmaWriter& w) { Abc(w), w.Marker(); }, 3, true, true},
    {"a marker that is not read: the size ends the stream first", [](LzmaWriter& w) { Abc(w), w.Marker(); }, 3,
     false, true},
    {"the marker before the declared size", [](LzmaWriter& w) { Abc(w), w.Marker(); }, 4, true, false},
    {"a marker without the flag, before the size", [](LzmaWriter& w) { Abc(w), w.Marker(); }, 4, false, false},
    {"the flag, but no marker after the size", Abc, 3, true, false},
    {"a literal past the declared size instead of the marker",
     [](LzmaWriter& w) { Abc(w), w.Literal('d'), w.Marker(); }, 3, true, false},
    {"a match past the declared size", [](LzmaWriter& w) { Abc(w), w.Match(3, 4); }, 6, false, false},
    {"a match ending at the declared size", [](LzmaWriter& w) { Abc(w), w.Match(3, 3); }, 6, false, true},
    {"a distance reaching one byte before the start", [](LzmaWriter& w) { Abc(w), w.Match(4, 2); }, 5, false, false},
    {"a distance reaching the first byte", [](LzmaWriter& w) { Abc(w), w.Match(3, 2); }, 5, false, true},
    {"a short repeat before any byte", [](LzmaWriter& w) { w.ShortRep(); }, 1, false, false},
    {"a repeat of rep3 before any byte", [](LzmaWriter& w) { w.Rep(3, 2); }, 2, false, false},
    {"repeats of every kind, short repeats and matched literals",
     [](LzmaWriter& w) {
       Abc(w), w.Match(2, 5), w.Literal('x'), w.Match(7, 2), w.Rep(1, 3), w.Rep(0, 9), w.ShortRep();
       w.Match(1, 40), w.Rep(2, 20), w.Rep(3, 273), w.Literal('y'), w.Literal('x'), w.Match(300, 18);
     },
     377, false, true},
    {"long distances through direct and aligned bits",
     [](LzmaWriter& w) {
       for (uint32_t i = 0; i < 70000; ++i) w.Literal(uint8_t(i * 7 + i / 300));
       w.Match(69999, 100), w.Match(65536, 2), w.Match(4097, 3), w.Match(129, 4), w.Match(128, 5), w.Marker();
     },
     70114, true, true},
};

TEST(LzmaCrafted, MarkersSizesAndDistances) {
  for (const Crafted& row : CraftedRows) {
    LzmaWriter w;
    row.write(w);
    const Bytes expected = w.output();
    const Bytes entry = Cat(w.Header(1 << 20), w.Finish());
    if (row.ok) {
      ExpectDecodes(entry, expected, row.marker, row.what);
    } else {
      EXPECT_TRUE(Fails(entry, row.declared, row.marker)) << row.what;
    }
    EXPECT_EQ(row.ok ? expected.size() : row.declared, row.declared) << row.what;
  }
}

TEST(LzmaCrafted, DistancesBeyondTheWindowFail) {
  for (uint32_t distance : {4096u, 4097u}) {
    LzmaWriter w;
    for (uint32_t i = 0; i < 5000; ++i) w.Literal(uint8_t(i ^ (i >> 8)));
    w.Match(distance, 2);
    const Bytes expected = w.output();
    // A 4 KB dictionary, declared 10,000 bytes: the window holds 4096.
    const Bytes entry = Cat(w.Header(4096), w.Finish());
    if (distance == 4096)
      ExpectDecodes(entry, expected, false, "distance 4096");
    else
      EXPECT_TRUE(Fails(entry, uint32_t(expected.size()), false)) << distance;
  }
}

TEST(LzmaCrafted, LiteralContextsOfEveryLcAndLp) {
  // lc + lp up to 12: the literal coders past liblzma's range, a model of up to 6 MB.
  const Props rows[] = {{8, 0, 0}, {0, 4, 4}, {8, 4, 4}, {5, 3, 1}, {7, 1, 2}};
  for (const Props& p : rows) {
    LzmaWriter w(p.lc, p.lp, p.pb);
    TestRandom rnd(p.lc * 10 + p.lp);
    for (int i = 0; i < 3000; ++i) {
      if (i > 10 && rnd.Below(5) == 0)
        w.Match(1 + rnd.Below(uint32_t(w.output().size())), 2 + rnd.Below(30));
      else
        w.Literal(uint8_t(rnd.Below(3) ? 'a' + rnd.Below(4) : rnd.Next()));
    }
    w.Marker();
    const Bytes expected = w.output();
    ExpectDecodes(Cat(w.Header(1 << 16), w.Finish()), expected, true,
                  "lc " + std::to_string(p.lc) + " lp " + std::to_string(p.lp));
  }
}

}  // namespace
