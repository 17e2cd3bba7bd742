// File access seam over POSIX descriptors (native builds: tests, fuzzing, zelvix-pack).
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <ctime>
#include <unistd.h>
#include "util/file_io.h"
#include "util/system_path_posix.h"

FileHandle FileOpenRead(const char* name) {
  const int fd = open(name, O_RDONLY | O_CLOEXEC);
  return fd < 0 ? NoFile : FileHandle(fd);
}

FileHandle FileCreate(const char* name) {
  const int fd = open(name, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  return fd < 0 ? NoFile : FileHandle(fd);
}

FileHandle FileCreateNew(const char* name) {
  const int fd = open(SystemPath(name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  return fd < 0 ? NoFile : FileHandle(fd);
}

bool FileReplace(FileHandle, const char* from, const char* to) {
  // As Windows does: a file without write permission counts as read-only, whoever runs.
  const std::string target = SystemPath(to);
  struct stat st;
  if (lstat(target.c_str(), &st) == 0 && (S_ISDIR(st.st_mode) || (st.st_mode & 0222) == 0)) {
    errno = EACCES;
    return false;
  }
  return rename(SystemPath(from).c_str(), target.c_str()) == 0;
}

bool FileDelete(const char* name) { return unlink(SystemPath(name).c_str()) == 0; }

int32_t FileEnd(FileHandle f) {
  struct stat st;
  if (fstat(int(f), &st) != 0) return -1;
  return st.st_size > 0x7FFFFFFF ? 0x7FFFFFFF : int32_t(st.st_size);
}

bool FileClose(FileHandle f) { return close(int(f)) == 0; }

int32_t FileRead(FileHandle f, void* buffer, uint32_t count) {
  uint32_t done = 0;  // a regular file delivers what it has; pipes may need several reads
  while (done < count) {
    const ssize_t got = read(int(f), static_cast<char*>(buffer) + done, count - done);
    if (got < 0) { if (errno == EINTR) continue; return done > 0 ? int32_t(done) : -1; }
    if (got == 0) break;
    done += uint32_t(got);
  }
  return int32_t(done);
}

int32_t FileWrite(FileHandle f, const void* buffer, uint32_t count) {
  // The system may take part of the bytes (a full disk, a file-size limit); the rest is offered
  // again, and the error that stops it then is the call's result, as a failed WriteFile is.
  uint32_t done = 0;
  while (done < count) {
    const ssize_t put = write(int(f), static_cast<const char*>(buffer) + done, count - done);
    if (put < 0) { if (errno == EINTR) continue; return -1; }
    if (put == 0) break;  // nothing taken and no error: the caller sees the short count
    done += uint32_t(put);
  }
  return int32_t(done);
}

int32_t FileSeek(FileHandle f, int32_t position) {
  if (position < 0) {
    errno = EINVAL;
    return -1;
  }
  const off_t reached = lseek(int(f), position, SEEK_SET);
  return reached < 0 ? -1 : int32_t(reached);
}

bool FileSetTimeUtc(FileHandle f, int64_t unixSeconds) {
  const timespec times[2] = {{0, UTIME_OMIT}, {time_t(unixSeconds), 0}};  // access time kept
  return futimens(int(f), times) == 0;
}

bool FileSetTimeLocal(FileHandle f, const CalendarTime& c) {
  tm local{};
  local.tm_year = c.year - 1900;
  local.tm_mon = c.month - 1;
  local.tm_mday = c.day;
  local.tm_hour = c.hour;
  local.tm_min = c.minute;
  local.tm_sec = c.second;
  local.tm_isdst = -1;  // the rules of that date decide
  const time_t seconds = mktime(&local);
  return seconds != time_t(-1) && FileSetTimeUtc(f, seconds);
}

uint32_t LastFileError() { return uint32_t(errno); }

const uint32_t DiskFullError = ENOSPC;
