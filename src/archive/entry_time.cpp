// Stored modification times (see entry_time.h).
#include "archive/entry_time.h"
#include "archive/local_header.h"
#include "util/bytes.h"

bool DecodeDosTime(uint16_t date, uint16_t time, CalendarTime& out) {
  out.year = uint16_t(1980 + (date >> 9));
  out.month = (date >> 5) & 0xF;
  out.day = date & 0x1F;
  out.hour = time >> 11;
  out.minute = (time >> 5) & 0x3F;
  out.second = uint16_t((time & 0x1F) * 2);
  if (out.month < 1 || out.month > 12 || out.day < 1 || out.hour > 23 || out.minute > 59 || out.second > 59)
    return false;
  // Days of each month; February has 29 in leap years: every fourth year from 1980 to 2104,
  // 2100 excepted (a century year not divisible by 400).
  static const uint8_t MonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = out.year % 4 == 0 && out.year != 2100;
  const uint32_t days = MonthDays[out.month - 1] + (out.month == 2 && leap);
  return out.day <= days;
}

StoredTime EntryModifiedTime(const uint8_t* extra, uint32_t extraLength, uint16_t dosDate, uint16_t dosTime) {
  StoredTime t{TimeSource::None, 0, {}};
  uint32_t size;  // set when a field is found
  const uint8_t* field = FindExtraField(extra, extraLength, TimestampExtraId, size);
  // UT: a flags byte, then the times its bits announce, modification time (bit 0) first.
  if (field != nullptr && size >= 5 && (field[0] & 1) != 0) {
    t.source = TimeSource::Utc;
    t.unixSeconds = int32_t(LoadLE32(field + 1));
  } else if (DecodeDosTime(dosDate, dosTime, t.local)) {
    t.source = TimeSource::Local;
  }
  return t;
}

bool SetStoredTime(FileHandle f, const StoredTime& t) {
  if (t.source == TimeSource::Utc) return FileSetTimeUtc(f, t.unixSeconds);
  return t.source == TimeSource::Local && FileSetTimeLocal(f, t.local);
}
