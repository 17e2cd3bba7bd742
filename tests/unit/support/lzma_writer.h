// An LZMA encoder for hand-made streams: a range encoder and a model of its own, driven one
// symbol per call (literal, match, repeat, short repeat, end marker), so that tests can write
// streams no real encoder would (distances before the start, markers where none may stand,
// literal contexts of every lc/lp). It chooses nothing: each call writes what it is told.
#pragma once
#include <cstdint>
#include <vector>
#include "support/temp_dir.h"

class LzmaWriter {
public:
  LzmaWriter(uint32_t lc = 3, uint32_t lp = 0, uint32_t pb = 2);
  void Literal(uint8_t byte);                     // plain, or against the byte at rep0 after a match
  void Match(uint32_t distance, uint32_t length);  // a new distance (1-based), length 2..273
  void Rep(uint32_t which, uint32_t length);       // rep0..rep3 (1-based distances kept), length 2..273
  void ShortRep();                                // one byte from rep0
  void Marker();                                  // the end marker
  // The stream so far, flushed (the writer is spent afterwards).
  Bytes Finish();
  // The 9-byte header of ZIP method 14 for these properties and a dictionary size.
  Bytes Header(uint32_t dictionary) const;
  const Bytes& output() const { return output_; }  // what a decoder gives for the symbols so far

private:
  struct LengthCoder {
    uint16_t choice = 1024, choice2 = 1024, low[16][8], mid[16][8], high[256];
    LengthCoder();
  };
  void Bit(uint16_t& p, uint32_t bit);
  void Direct(uint32_t value, uint32_t bits);
  void Tree(uint16_t* p, uint32_t bits, uint32_t value);
  void ReverseTree(uint16_t* p, uint32_t bits, uint32_t value);
  void Length(LengthCoder& c, uint32_t length);
  void Copy(uint32_t distance, uint32_t length);
  void ShiftLow();
  uint32_t PosState() const { return uint32_t(output_.size()) & ((1u << pb_) - 1); }

  uint32_t lc_, lp_, pb_;
  uint64_t low_ = 0;
  uint32_t range_ = 0xFFFFFFFF, cacheSize_ = 1;
  uint8_t cache_ = 0;
  Bytes bytes_, output_;
  uint32_t state_ = 0, reps_[4] = {1, 1, 1, 1};
  uint16_t isMatch_[12][16], isRep_[12], isRepG0_[12], isRepG1_[12], isRepG2_[12], isRep0Long_[12][16];
  uint16_t posSlot_[4][64], specPos_[115], align_[16];
  LengthCoder matchLength_, repLength_;
  std::vector<uint16_t> literal_;
};
