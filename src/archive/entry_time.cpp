// Stored modification times (see entry_time.h).
#include "archive/entry_time.h"
#include "archive/local_header.h"
#include "util/bytes.h"

bool DecodeDosTime(uint16_t date, uint16_t time, CalendarTime& out) {
  // Checked as 32-bit values, stored as the record's 16-bit fields once they hold.
  const uint32_t year = 1980 + (date >> 9), month = (date >> 5) & 0xF, day = date & 0x1F;
  const uint32_t hour = time >> 11, minute = (time >> 5) & 0x3F, second = (time & 0x1F) * 2;
  if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59 || second > 59) return false;
  // Days of each month; February has 29 in leap years: every fourth year from 1980 to 2104,
  // 2100 excepted (a century year not divisible by 400).
  static const uint8_t MonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = year % 4 == 0 && year != 2100;
  if (day > MonthDays[month - 1] + uint32_t(month == 2 && leap)) return false;
  out = {uint16_t(year), uint16_t(month), uint16_t(day), uint16_t(hour), uint16_t(minute), uint16_t(second)};
  return true;
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
