#include "support/lzma_writer.h"
#include <algorithm>

namespace {
template <typename T, size_t N>
void Half(T (&a)[N]) {
  std::fill_n(reinterpret_cast<uint16_t*>(a), sizeof a / sizeof(uint16_t), uint16_t(1024));
}
}  // namespace

LzmaWriter::LengthCoder::LengthCoder() {
  Half(low);
  Half(mid);
  Half(high);
}

LzmaWriter::LzmaWriter(uint32_t lc, uint32_t lp, uint32_t pb)
    : lc_(lc), lp_(lp), pb_(pb), literal_(size_t(0x300) << (lc + lp), 1024) {
  Half(isMatch_);
  Half(isRep_);
  Half(isRepG0_);
  Half(isRepG1_);
  Half(isRepG2_);
  Half(isRep0Long_);
  Half(posSlot_);
  Half(specPos_);
  Half(align_);
}

// The low 32 bits of low_ go out a byte at a time; a carry out of them reaches the bytes still
// held back (cache_ and the 0xFF bytes after it).
void LzmaWriter::ShiftLow() {
  if (low_ < 0xFF000000u || low_ >= (uint64_t(1) << 32)) {
    const uint8_t carry = uint8_t(low_ >> 32);
    uint8_t held = cache_;
    do {
      bytes_.push_back(uint8_t(held + carry));
      held = 0xFF;
    } while (--cacheSize_ != 0);
    cache_ = uint8_t(low_ >> 24);
  }
  ++cacheSize_;
  low_ = (low_ & 0x00FFFFFF) << 8;
}

void LzmaWriter::Bit(uint16_t& p, uint32_t bit) {
  const uint32_t bound = (range_ >> 11) * p;
  if (bit == 0) {
    range_ = bound;
    p = uint16_t(p + ((2048 - p) >> 5));
  } else {
    low_ += bound;
    range_ -= bound;
    p = uint16_t(p - (p >> 5));
  }
  while (range_ < (1u << 24)) {
    range_ <<= 8;
    ShiftLow();
  }
}

void LzmaWriter::Direct(uint32_t value, uint32_t bits) {
  while (bits-- > 0) {
    range_ >>= 1;
    if ((value >> bits) & 1) low_ += range_;
    while (range_ < (1u << 24)) {
      range_ <<= 8;
      ShiftLow();
    }
  }
}

void LzmaWriter::Tree(uint16_t* p, uint32_t bits, uint32_t value) {
  uint32_t m = 1;
  while (bits-- > 0) {
    const uint32_t bit = (value >> bits) & 1;
    Bit(p[m], bit);
    m = (m << 1) | bit;
  }
}

void LzmaWriter::ReverseTree(uint16_t* p, uint32_t bits, uint32_t value) {
  uint32_t m = 1;
  for (uint32_t i = 0; i < bits; ++i) {
    const uint32_t bit = (value >> i) & 1;
    Bit(p[m], bit);
    m = (m << 1) | bit;
  }
}

void LzmaWriter::Length(LengthCoder& c, uint32_t length) {
  const uint32_t l = length - 2, ps = PosState();
  if (l < 8) {
    Bit(c.choice, 0);
    Tree(c.low[ps], 3, l);
  } else if (l < 16) {
    Bit(c.choice, 1);
    Bit(c.choice2, 0);
    Tree(c.mid[ps], 3, l - 8);
  } else {
    Bit(c.choice, 1);
    Bit(c.choice2, 1);
    Tree(c.high, 8, l - 16);
  }
}

// What the decoder produces for a match; a distance before the start gives zeros here.
void LzmaWriter::Copy(uint32_t distance, uint32_t length) {
  for (uint32_t i = 0; i < length; ++i)
    output_.push_back(distance <= output_.size() ? output_[output_.size() - distance] : 0);
}

void LzmaWriter::Literal(uint8_t byte) {
  Bit(isMatch_[state_][PosState()], 0);
  const uint32_t prev = output_.empty() ? 0 : output_.back();
  const uint32_t context = ((uint32_t(output_.size()) & ((1u << lp_) - 1)) << lc_) + (prev >> (8 - lc_));
  uint16_t* p = &literal_[0x300 * size_t(context)];
  uint32_t symbol = 1;
  int i = 7;
  if (state_ >= 7) {
    const uint32_t d = reps_[0];
    const uint32_t match = d <= output_.size() ? output_[output_.size() - d] : 0;
    for (; i >= 0; --i) {
      const uint32_t bit = (byte >> i) & 1, matchBit = (match >> i) & 1;
      Bit(p[0x100 + (matchBit << 8) + symbol], bit);
      symbol = (symbol << 1) | bit;
      if (bit != matchBit) {
        --i;
        break;
      }
    }
  }
  for (; i >= 0; --i) {
    const uint32_t bit = (byte >> i) & 1;
    Bit(p[symbol], bit);
    symbol = (symbol << 1) | bit;
  }
  output_.push_back(byte);
  state_ = state_ < 4 ? 0 : state_ < 10 ? state_ - 3 : state_ - 6;
}

void LzmaWriter::Match(uint32_t distance, uint32_t length) {
  Bit(isMatch_[state_][PosState()], 1);
  Bit(isRep_[state_], 0);
  Length(matchLength_, length);
  const uint32_t d = distance - 1, lengthState = std::min(length - 2, 3u);
  uint32_t slot = d;
  if (d >= 4) {
    uint32_t top = 31;
    while (!((d >> top) & 1)) --top;
    slot = 2 * top + ((d >> (top - 1)) & 1);
  }
  Tree(posSlot_[lengthState], 6, slot);
  if (slot >= 4) {
    const uint32_t bits = (slot >> 1) - 1, base = (2 | (slot & 1)) << bits, rest = d - base;
    if (slot < 14) {
      ReverseTree(specPos_ + base - slot, bits, rest);
    } else {
      Direct(rest >> 4, bits - 4);
      ReverseTree(align_, 4, rest & 15);
    }
  }
  reps_[3] = reps_[2];
  reps_[2] = reps_[1];
  reps_[1] = reps_[0];
  reps_[0] = distance;
  state_ = state_ < 7 ? 7 : 10;
  if (distance != 0) Copy(distance, length);
}

void LzmaWriter::Rep(uint32_t which, uint32_t length) {
  Bit(isMatch_[state_][PosState()], 1);
  Bit(isRep_[state_], 1);
  Bit(isRepG0_[state_], which != 0);
  if (which == 0) {
    Bit(isRep0Long_[state_][PosState()], 1);
  } else {
    Bit(isRepG1_[state_], which != 1);
    if (which != 1) Bit(isRepG2_[state_], which != 2);
    const uint32_t d = reps_[which];
    for (uint32_t i = which; i > 0; --i) reps_[i] = reps_[i - 1];
    reps_[0] = d;
  }
  Length(repLength_, length);
  state_ = state_ < 7 ? 8 : 11;
  Copy(reps_[0], length);
}

void LzmaWriter::ShortRep() {
  Bit(isMatch_[state_][PosState()], 1);
  Bit(isRep_[state_], 1);
  Bit(isRepG0_[state_], 0);
  Bit(isRep0Long_[state_][PosState()], 0);
  state_ = state_ < 7 ? 9 : 11;
  Copy(reps_[0], 1);
}

void LzmaWriter::Marker() { Match(0, 2); }  // distance 0xFFFFFFFF + 1 wraps to 0

Bytes LzmaWriter::Finish() {
  for (int i = 0; i < 5; ++i) ShiftLow();
  return bytes_;
}

Bytes LzmaWriter::Header(uint32_t dictionary) const {
  return {9, 20, 5, 0, uint8_t((pb_ * 5 + lp_) * 9 + lc_), uint8_t(dictionary), uint8_t(dictionary >> 8),
          uint8_t(dictionary >> 16), uint8_t(dictionary >> 24)};
}
