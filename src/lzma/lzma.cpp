// LZMA decoder (see lzma.h): the range decoder, the literal, length and distance coders, the
// state machine of matches and repeats, and the window. One decoding loop, LzmaPull; the
// codec DecodeLzma and later stream readers both go through it.
#include "lzma/lzma.h"
#include <cstring>
#include "util/bytes.h"
#include "util/speed.h"

namespace {

// The model: one 11-bit probability (of a 0) per context, all 1024 (one half) at the start.
// Contexts per posState take 16 slots (pb <= 4), per state 12.
constexpr uint32_t IsMatch = 0;                   // [state][posState]
constexpr uint32_t IsRep = IsMatch + 12 * 16;     // [state]: a repeat, not a new distance
constexpr uint32_t IsRepG0 = IsRep + 12;          // [state]: not rep0
constexpr uint32_t IsRepG1 = IsRepG0 + 12;        // [state]: not rep1
constexpr uint32_t IsRepG2 = IsRepG1 + 12;        // [state]: rep3, not rep2
constexpr uint32_t IsRep0Long = IsRepG2 + 12;     // [state][posState]: rep0 of a length, not one byte
constexpr uint32_t PosSlot = IsRep0Long + 12 * 16;  // [min(length - 2, 3)][6-bit tree]
// Reverse trees of the low bits of distances 4..127 (slots 4..13): slot s has (s >> 1) - 1
// bits, its tree starts at SpecPos + base - s, indices from 1; the last one ends at 114.
constexpr uint32_t SpecPos = PosSlot + 4 * 64;
constexpr uint32_t Align = SpecPos + 115;         // reverse tree of the low 4 bits, slots 14..63
constexpr uint32_t MatchLen = Align + 16;         // length coder of new distances
constexpr uint32_t RepLen = MatchLen + 514;       // length coder of repeats
constexpr uint32_t Literal = RepLen + 514;        // 0x300 per literal context
// A length coder: choice, choice2, low[posState][3-bit tree], mid[posState][3-bit tree],
// high[8-bit tree]: lengths 2..9, 10..17 and 18..273.
constexpr uint32_t LenLow = 2, LenMid = LenLow + 16 * 8, LenHigh = LenMid + 16 * 8;

// The state after a literal: 0 after literals, otherwise how many symbols ago the last match
// or repeat came, and of which kind.
constexpr uint8_t AfterLiteral[12] = {0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 4, 5};

constexpr uint32_t ProbBits = 11, MoveBits = 5, TopValue = 1u << 24;
constexpr uint32_t EndMarker = 0xFFFFFFFF;  // the distance (less one) of the end marker
constexpr uint32_t MaxWindow = 0x80000000;  // no block this large exists in a 32-bit process

// The byte after the chunk's last, through the input record: the record's position and bytes
// left are brought up to date first. Past the entry's data a zero comes and overrun is set:
// an encoder's stream holds every byte its decoder reads.
[[maybe_unused]] ZELVIX_COLD uint32_t NextByteSlow(LzmaRange& rc) {  // natively only
  EntryInput& in = *rc.in;
  in.left -= int32_t(rc.next - (in.chunk + in.pos));
  in.pos = uint32_t(rc.next - in.chunk);
  const int32_t b = NextInputByte(in);
  rc.next = in.chunk + in.pos;
  rc.end = in.chunk + in.count;
  if (b >= 0) return uint32_t(b);
  rc.overrun = true;
  return 0;
}

// Natively the range decoder takes the chunk's bytes through its own pointer; the stub takes
// each from the input record's chunk in place, and calls for the next chunk (see util/speed.h).
// Inlined in both: the test comes at every bit, the byte once in eight bits or so.
ZELVIX_INLINE void Normalize(LzmaRange& rc) {
  if (rc.range >= TopValue) return;
  uint32_t b;
  if constexpr (LzmaStateInRegisters) {
    if (rc.next != rc.end) {
      b = *rc.next++;
    } else {
      LzmaRange t = rc;  // a copy, so that the caller's range decoder can stay in registers
      b = NextByteSlow(t);
      rc = t;
    }
  } else {
    EntryInput& in = *rc.in;
    int32_t c;
    if (int32_t(in.pos) < in.count) {  // a byte still in the chunk: never beyond the entry
      --in.left;
      c = in.chunk[in.pos++];
    } else {
      c = NextInputByte(in);
    }
    rc.overrun |= c < 0;
    b = uint8_t(c);
  }
  rc.range <<= 8;
  rc.code = (rc.code << 8) | b;
}

// One bit against probability *p, which then moves 1/32 of the way towards what came.
ZELVIX_NATIVE_INLINE uint32_t Bit(LzmaRange& rc, uint32_t i) {
  uint16_t* const p = rc.probs + i;
  Normalize(rc);
  const uint32_t bound = (rc.range >> ProbBits) * *p;
  if (rc.code < bound) {
    rc.range = bound;
    *p = uint16_t(*p + (((1u << ProbBits) - *p) >> MoveBits));
    return 0;
  }
  rc.range -= bound;
  rc.code -= bound;
  *p = uint16_t(*p - (*p >> MoveBits));
  return 1;
}

// A bit tree of n bits, p[1..2^n - 1] its nodes: the value read most significant bit first,
// or with reverse least significant first.
ZELVIX_NATIVE_INLINE uint32_t Tree(LzmaRange& rc, uint32_t p, uint32_t n, bool reverse = false) {
  uint32_t m = 1, value = 0;
  for (uint32_t i = 0; i < n; ++i) {
    const uint32_t bit = Bit(rc, p + m);
    m = (m << 1) | bit;
    value |= bit << i;
  }
  return reverse ? value : m - (1u << n);
}

// n >= 1 bits of probability one half, most significant first.
ZELVIX_NATIVE_INLINE uint32_t DirectBits(LzmaRange& rc, uint32_t n) {
  uint32_t value = 0;
  do {
    Normalize(rc);
    rc.range >>= 1;
    const uint32_t bit = rc.code >= rc.range;
    if (bit) rc.code -= rc.range;
    value = (value << 1) | bit;
  } while (--n);
  return value;
}

// A match length less 2 (0..271) from the length coder at p.
ZELVIX_NATIVE_INLINE uint32_t Length(LzmaRange& rc, uint32_t p, uint32_t posState) {
  uint32_t tree = p + LenLow + posState * 8;
  uint32_t first = 0, bits = 3;
  if (Bit(rc, p)) {
    tree += LenMid - LenLow;
    first = 8;
    if (Bit(rc, p + 1)) {
      tree = p + LenHigh;
      first = 16;
      bits = 8;
    }
  }
  return first + Tree(rc, tree, bits);
}

// A new distance less one, for a match of length len + 2: a 6-bit slot, then its low bits
// (reverse trees below 128, above that direct bits and the aligned 4 bits).
ZELVIX_NATIVE_INLINE uint32_t Distance(LzmaRange& rc, uint32_t len) {
  const uint32_t slot = Tree(rc, PosSlot + (len < 3 ? len : 3) * 64, 6);
  if (slot < 4) return slot;
  uint32_t bits = (slot >> 1) - 1, base = (2 | (slot & 1)) << bits;
  uint32_t tree = SpecPos + base - slot;
  if (slot >= 14) {
    base += DirectBits(rc, bits - 4) << 4;
    tree = Align;
    bits = 4;
  }
  return base + Tree(rc, tree, bits, true);
}

// Where the byte d >= 1 places behind pos lies in a circular window of size bytes (d <= size).
ZELVIX_INLINE uint32_t Behind(uint32_t pos, uint32_t d, uint32_t size) {
  return pos - d + (pos < d ? size : 0);
}

}  // namespace

bool LzmaBegin(LzmaDecoder& s, EntryInput& in, EntryOutput& out) {
  // 0-1: version; 2-3: properties size; 4: lc, lp, pb; 5-8: dictionary size; 9-13: the range
  // decoder's first bytes (the first always 0, then the code, most significant byte first).
  uint8_t h[14];
  for (uint8_t& b : h) {
    const int32_t c = NextInputByte(in);
    if (c < 0) return false;
    b = uint8_t(c);
  }
  if (LoadLE16(h + 2) != 5 || h[4] >= 9 * 5 * 5 || h[9] != 0) return false;
  const uint32_t lc = h[4] % 9u, lp = h[4] / 9u % 5u, pb = h[4] / 45u;
  // The window: the stream never reaches further back than its dictionary, nor before its
  // first byte. lc + lp <= 12, so the model takes at most 6 MB.
  uint32_t size = LoadLE32(h + 5);
  if (size > out.declaredSize) size = out.declaredSize;
  if (size < 4096) size = 4096;
  const uint32_t count = Literal + (0x300u << (lc + lp));
  if (size > MaxWindow || !OpenWindow(out, count * 2 + size)) return false;
  s = LzmaDecoder{};  // no match pending, distances and state 0, nothing produced
  s.rc.probs = reinterpret_cast<uint16_t*>(out.window);
  for (uint32_t i = 0; i < count; ++i) s.rc.probs[i] = 1u << (ProbBits - 1);
  s.window = out.window + count * 2;
  s.windowSize = size;
  s.window[size - 1] = 0;  // the byte before the first: literal context 0
  s.rc.range = 0xFFFFFFFF;
  s.rc.code = uint32_t(h[10]) << 24 | uint32_t(h[11]) << 16 | uint32_t(h[12]) << 8 | h[13];
  s.outSize = out.declaredSize;
  s.lc = lc;
  s.lpMask = (1u << lp) - 1;
  s.pbMask = (1u << pb) - 1;
  s.endMarker = (in.flags & 2) != 0;
  return true;
}

uint32_t LzmaPull(LzmaDecoder& stream, EntryInput& in, const uint8_t** data, uint32_t max) {
  if (stream.result != LzmaResult::Going) return 0;
  LzmaDecoder copy;
  if constexpr (LzmaStateInRegisters) copy = stream;
  LzmaDecoder& s = LzmaStateInRegisters ? copy : stream;  // see util/speed.h
  LzmaRange& rc = s.rc;
  rc.in = &in;
  if constexpr (LzmaStateInRegisters) {
    rc.next = in.chunk + in.pos;
    rc.end = in.chunk + in.count;
  }
  uint8_t* const win = s.window;
  const uint32_t size = s.windowSize, outSize = s.outSize;
  uint32_t pos = s.pos == size ? 0 : s.pos;
  const uint32_t start = pos;
  const uint32_t base = s.done - start;  // bytes produced when pos was 0 (mod 2^32)
  uint32_t room = size - pos;
  if (room > max) room = max;
  if (room > outSize - s.done) room = outSize - s.done;
  const uint32_t stop = pos + room;
  uint32_t* const rep = s.rep;
  LzmaResult result = LzmaResult::Failed;  // every way out of the loop but two fails the stream
  for (;;) {
    if (s.pending != 0 && pos != stop) {  // the rest of a match, as far as there is room
      uint32_t n = stop - pos;
      if (n > s.pending) n = s.pending;
      s.pending -= n;
      uint32_t from = Behind(pos, rep[0] + 1, size);
      if (LzmaStateInRegisters && from + n <= size && (from > pos || pos - from >= 8)) {
        // Natively, eight bytes at a time where the source does not wrap and stays eight bytes
        // or more behind (or ahead, in the window's other half): each step then reads only
        // bytes written before it.
        for (; n >= 8; n -= 8, pos += 8, from += 8) {
          uint64_t eight;  // loaded whole before the store, which may overlap it
          memcpy(&eight, win + from, 8);
          memcpy(win + pos, &eight, 8);
        }
      }
      for (; n != 0; --n) {
        win[pos++] = win[from++];
        if (from == size) from = 0;
      }
    }
    const uint32_t total = base + pos;
    if (pos == stop) {
      // Room ends here. At the declared size only the marker may still come, when it must.
      if (total != outSize || !s.endMarker) {
        result = total == outSize ? LzmaResult::Ended : LzmaResult::Going;
        break;
      }
    }
    if (rc.overrun) break;
    const uint32_t posState = total & s.pbMask;
    uint32_t state = s.state;
    if (!Bit(rc, IsMatch + state * 16 + posState)) {
      if (total == outSize) break;  // a literal past the declared size
      // A literal: its coder chosen by the previous byte's high lc bits and the position's low
      // lp bits. After a match it is first decoded against the byte at rep0 (offs 0x100 while
      // the bits agree, with the match bit choosing the half), then on its own (offs 0).
      const uint32_t prev = win[Behind(pos, 1, size)];
      const uint32_t p = Literal + 0x300 * (((total & s.lpMask) << s.lc) + (prev >> (8 - s.lc)));
      uint32_t offs = 0, match = 0, symbol = 1;
      if (state >= 7) {
        offs = 0x100;
        match = win[Behind(pos, rep[0] + 1, size)];
      } else if constexpr (LzmaStateInRegisters) {  // natively, eight bits without the match's
        for (int i = 0; i < 8; ++i) symbol = (symbol << 1) | Bit(rc, p + symbol);
      }
      while (symbol < 0x100) {
        match <<= 1;
        const uint32_t matchBit = match & offs;
        const uint32_t bit = Bit(rc, p + offs + matchBit + symbol);
        symbol = (symbol << 1) | bit;
        offs &= bit ? matchBit : ~matchBit;
      }
      win[pos++] = uint8_t(symbol);
      s.state = AfterLiteral[state];
      continue;
    }
    // A match: a repeat of one of the last four distances (which moves to the front, those
    // before it down one), or a new distance (all four move down).
    const bool repeat = Bit(rc, IsRep + state);
    uint32_t len, which = 3;
    if (repeat) {
      which = 0;
      if (Bit(rc, IsRepG0 + state)) {
        which = 1;
        if (Bit(rc, IsRepG1 + state)) which = 2 + Bit(rc, IsRepG2 + state);
      } else if (!Bit(rc, IsRep0Long + state * 16 + posState)) {  // one byte from rep0
        s.state = state < 7 ? 9 : 11;
        len = 1;
        goto copy;
      }
    }
    if (which != 0) {
      // Natively with constant indices only, so that the four stay in registers.
      const uint32_t dist = LzmaStateInRegisters ? (which == 1 ? rep[1] : which == 2 ? rep[2] : rep[3]) : rep[which];
      if constexpr (LzmaStateInRegisters) {
        if (which == 3) rep[3] = rep[2];
        if (which >= 2) rep[2] = rep[1];
        rep[1] = rep[0];
      } else {
        do rep[which] = rep[which - 1];
        while (--which);
      }
      rep[0] = dist;
    }
    len = Length(rc, repeat ? RepLen : MatchLen, posState);
    s.state = state < 7 ? 7 + repeat : 10 + repeat;
    if (!repeat) {
      rep[0] = Distance(rc, len);
      if (rep[0] == EndMarker) {
        // Wanted only where the declared size has been produced; after it, the encoder's
        // flush leaves the code at 0.
        if (s.endMarker && total == outSize && rc.code == 0) result = LzmaResult::Ended;
        break;
      }
    }
    len += 2;
  copy:
    // The source must lie inside what was produced and inside the window, and the match must
    // end by the declared size.
    if (rep[0] >= (total < size ? total : size) || len > outSize - total) break;
    s.pending = len;
  }
  if (rc.overrun) result = LzmaResult::Failed;
  if constexpr (LzmaStateInRegisters) {
    in.left -= int32_t(rc.next - (in.chunk + in.pos));
    in.pos = uint32_t(rc.next - in.chunk);
  }
  s.pos = pos;
  s.done = base + pos;
  s.result = result;
  if constexpr (LzmaStateInRegisters) stream = copy;
  *data = win + start;
  return result == LzmaResult::Failed ? 0 : pos - start;
}

bool DecodeLzma(EntryInput& in, EntryOutput& out) {
  LzmaDecoder s;
  if (!LzmaBegin(s, in, out)) return false;
  const uint8_t* data;
  while (const uint32_t n = LzmaPull(s, in, &data, InputChunkSize)) {
    WriteOutput(out, data, n);
    if (out.fault != OutputFault::None) return false;
  }
  return s.result == LzmaResult::Ended;
}
