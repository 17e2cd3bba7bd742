// The modification time an entry's local header states: the extended-timestamp extra field's
// ("UT", seconds since 1970 UTC) when it carries one, else the MS-DOS date and time, which their
// writers fill with local time. The extraction run gives it to each file it has written.
#pragma once
#include <cstdint>
#include "util/file_io.h"

constexpr uint16_t TimestampExtraId = 0x5455;  // "UT"

enum class TimeSource : uint8_t { None, Utc, Local };

struct StoredTime {
  TimeSource source;
  int64_t unixSeconds;  // Utc
  CalendarTime local;   // Local
};

// The calendar value of an MS-DOS date and time: day bits 0-4, month 5-8, year - 1980 9-15;
// seconds / 2 bits 0-4, minute 5-10, hour 11-15. False for what is no date or time of the
// calendar (month 0 or 13, February 30, minute 60, ...); out is left as it was then.
bool DecodeDosTime(uint16_t date, uint16_t time, CalendarTime& out);

// The entry's time from its extra field (UT with its modification time present) or else its
// DOS date and time; source None when neither holds a valid one.
StoredTime EntryModifiedTime(const uint8_t* extra, uint32_t extraLength, uint16_t dosDate, uint16_t dosTime);

// Sets f's last-write time to t; false when there is none or the system refuses.
bool SetStoredTime(FileHandle f, const StoredTime& t);
