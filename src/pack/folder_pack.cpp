// The archives of a folder (see folder_pack.h).
#include "pack/folder_pack.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "pack/encoders.h"
#include "pack/progress.h"
#include "pack/zip_writer.h"
#include "util/bytes.h"
#include "util/crc32.h"

namespace {

constexpr uint64_t MaxPayloadSize = INT32_MAX;  // the stub reads the payload with 32-bit positions
constexpr uint32_t StagingChunk = 1 << 20;

uint32_t Crc(const uint8_t* data, uint64_t size, uint32_t crc = 0) {
  crc ^= 0xFFFFFFFF;
  while (size > 0) {
    const int32_t piece = size < (1u << 30) ? int32_t(size) : 1 << 30;
    UpdateCrc(data, piece, crc);
    data += piece;
    size -= uint64_t(piece);
  }
  return crc ^ 0xFFFFFFFF;
}

std::string SystemText(uint32_t error) { return std::strerror(int(error)); }

// The whole of a source file; false with why when it cannot be read.
bool ReadSource(const SourceEntry& e, Bytes& data, std::string& why) {
  const FileHandle f = FileOpenRead(e.path.c_str());
  if (f == NoFile) {
    why = SystemText(LastFileError());
    return false;
  }
  data.resize(size_t(e.size));
  uint64_t got = 0;
  while (got < e.size) {
    const uint64_t left = e.size - got;
    const int32_t n = FileRead(f, data.data() + got, left < (1u << 30) ? uint32_t(left) : 1u << 30);
    if (n <= 0) break;
    got += uint64_t(n);
  }
  const uint32_t error = LastFileError();
  uint8_t more;
  const bool grew = got == e.size && FileRead(f, &more, 1) > 0;
  FileClose(f);
  if (got != e.size || grew) {
    why = got < e.size && error != 0 ? SystemText(error) : "the file changed its size while it was packed";
    return false;
  }
  return true;
}

// The record of e, its data yet to be decided.
ZipRecord RecordOf(const SourceEntry& e) {
  ZipRecord r;
  r.name = e.name;
  DosDateTime(e.modified, r.dosDate, r.dosTime);
  r.localExtra = ExtendedTimeField(e.modified);
  r.centralExtra = r.localExtra;
  r.unixMode = e.mode & 0xFFFF;
  return r;
}

PackFailure OutputFailure(const FolderJob& job, const ZipOutput& out, const char* part) {
  if (out.tooLarge)
    return {job.dirName, std::string("too large: the ") + part +
                             " would pass 2147483647 bytes (2 GiB - 1), the most the stub can read"};
  return {job.outName, SystemText(out.error)};
}

uint64_t TotalSize(const std::vector<SourceEntry>& entries) {
  uint64_t total = 0;
  for (const SourceEntry& e : entries) total += e.size;
  return total;
}

PackFailure WriteEntryByEntry(const FolderJob& job) {
  ZipOutput out{job.package, job.room};
  ZipWriter zip(out);
  DeflateEncoder deflate;
  Progress progress;
  StartProgress(progress, job.method == PackMethod::Store ? "storing" : "compressing", TotalSize(*job.entries));
  Bytes data, packed;
  for (const SourceEntry& e : *job.entries) {
    ZipRecord r = RecordOf(e);
    std::string why;
    if (!e.directory && !ReadSource(e, data, why)) {
      EndProgress(progress);
      return {e.path, why};
    }
    if (e.directory) data.clear();
    r.crc = Crc(data.data(), data.size());
    r.uncompressedSize = uint32_t(data.size());
    const Bytes* body = &data;
    if (job.method == PackMethod::Deflate && deflate.Compress(data.data(), data.size(), packed)) {
      r.method = MethodDeflate;
      body = &packed;
    } else if (job.method == PackMethod::Lzma && LzmaEntry(data.data(), data.size(), packed)) {
      r.method = MethodLzma;
      body = &packed;
    }
    r.compressedSize = uint32_t(body->size());
    if (!AddEntry(zip, r, body->data(), body->size())) break;
    AdvanceProgress(progress, e.size);
  }
  EndProgress(progress);
  if (!out.failed()) FinishZip(zip);
  return out.failed() ? OutputFailure(job, out, "package") : PackFailure{};
}

// A temporary file in dir, removed from the directory at once: it goes when it is closed,
// however the run ends.
FileHandle StagingFile(const std::string& dir, std::string& why) {
  std::string name = dir + "/.zelvix-pack-XXXXXX";
  const int fd = mkstemp(name.data());
  if (fd < 0) {
    why = SystemText(uint32_t(errno));
    return NoFile;
  }
  unlink(name.c_str());
  return FileHandle(fd);
}

class Staged {
public:
  explicit Staged(FileHandle f) : f_(f) {}
  ~Staged() {
    if (f_ != NoFile) FileClose(f_);
  }
  Staged(const Staged&) = delete;
  Staged& operator=(const Staged&) = delete;
  FileHandle get() const { return f_; }
private:
  FileHandle f_;
};

int64_t Newest(const std::vector<SourceEntry>& entries) {
  int64_t newest = 315532800;  // 1980-01-01 UTC, for an empty folder
  for (const SourceEntry& e : entries) newest = std::max(newest, e.modified);
  return newest;
}

PackFailure WriteSolid(const FolderJob& job) {
  const uint64_t innerSize = StoredArchiveSize(*job.entries);
  if (innerSize > MaxPayloadSize)
    return {job.dirName, "too large: the solid payload would have " + std::to_string(innerSize) +
                             " bytes, more than the 2147483647 (2 GiB - 1) the stub can read"};
  std::string why;
  Staged staged(StagingFile(job.stagingDir, why));
  if (staged.get() == NoFile) return {job.stagingDir, "cannot stage the payload: " + why};

  // The inner archive: every file stored, in the order given.
  ZipOutput innerOut{staged.get(), MaxPayloadSize};
  ZipWriter inner(innerOut);
  Progress progress;
  StartProgress(progress, "collecting", TotalSize(*job.entries));
  Bytes data;
  for (const SourceEntry& e : *job.entries) {
    ZipRecord r = RecordOf(e);
    data.clear();
    if (!e.directory && !ReadSource(e, data, why)) {
      EndProgress(progress);
      return {e.path, why};
    }
    r.crc = Crc(data.data(), data.size());
    r.compressedSize = r.uncompressedSize = uint32_t(data.size());
    if (!AddEntry(inner, r, data.data(), data.size())) break;
    AdvanceProgress(progress, e.size);
  }
  EndProgress(progress);
  if (!innerOut.failed()) FinishZip(inner);
  if (innerOut.failed()) {
    if (innerOut.tooLarge) return OutputFailure(job, innerOut, "solid payload");
    return {job.stagingDir, "cannot stage the payload: " + SystemText(innerOut.error)};
  }
  Bytes().swap(data);

  // The payload as the package will read it, checked before the long compression.
  const ArchiveFindings found = CheckArchive(staged.get(), 0, ArchiveRole::Payload, job.needSetup);
  if (!found.problem.empty()) return {job.dirName, found.problem};
  if (found.headers != inner.localHeaders) return {job.dirName, "the payload's local headers differ from its index"};

  ZipOutput out{job.package, job.room};
  ZipWriter outer(out);
  ZipRecord index;
  index.name = "payload.idx";
  DosDateTime(Newest(*job.entries), index.dosDate, index.dosTime);
  index.localExtra = {uint8_t(SolidMarkerId), uint8_t(SolidMarkerId >> 8), 4, 0, uint8_t(SolidFormatVersion), 0, 0, 0};
  index.method = MethodLzma;
  index.crc = Crc(inner.localHeaders.data(), inner.localHeaders.size());
  index.uncompressedSize = uint32_t(inner.localHeaders.size());
  Bytes packedIndex;
  if (!LzmaEntry(inner.localHeaders.data(), inner.localHeaders.size(), packedIndex, true))
    return {job.dirName, "the LZMA encoder failed on the index (out of memory?)"};
  index.compressedSize = uint32_t(packedIndex.size());
  ZipRecord payload;
  payload.name = "payload.zip";
  payload.method = MethodLzma;
  payload.dosDate = index.dosDate;
  payload.dosTime = index.dosTime;
  payload.uncompressedSize = uint32_t(innerOut.written);
  if (!AddEntry(outer, index, packedIndex.data(), packedIndex.size()) || !BeginEntry(outer, payload))
    return OutputFailure(job, out, "package");

  // The payload's LZMA stream, from the staged archive.
  const uint64_t payloadStart = out.written;
  LzmaStream lzma;
  Bytes packed;
  if (FileSeek(staged.get(), 0) != 0) return {job.stagingDir, SystemText(LastFileError())};
  if (!lzma.Start(innerOut.written, packed)) return {job.dirName, "the LZMA encoder cannot start (out of memory?)"};
  Bytes chunk(StagingChunk);
  uint32_t crc = 0;
  StartProgress(progress, "compressing", innerOut.written);
  for (uint64_t left = innerOut.written; left > 0 && !out.failed();) {
    const uint32_t want = left < StagingChunk ? uint32_t(left) : StagingChunk;
    if (FileRead(staged.get(), chunk.data(), want) != int32_t(want)) {
      EndProgress(progress);
      return {job.stagingDir, "cannot read the staged payload: " + SystemText(LastFileError())};
    }
    crc = Crc(chunk.data(), want, crc);
    left -= want;
    if (!lzma.Feed(chunk.data(), want, packed) || (left == 0 && !lzma.Finish(packed))) {
      EndProgress(progress);
      return {job.dirName, "the LZMA encoder failed (out of memory?)"};
    }
    PutBytes(out, packed.data(), packed.size());
    packed.clear();
    AdvanceProgress(progress, want);
  }
  EndProgress(progress);
  if (out.failed()) return OutputFailure(job, out, "package");
  payload.crc = crc;
  payload.compressedSize = uint32_t(out.written - payloadStart);
  if (!SettleEntry(outer, payload) || !FinishZip(outer)) return OutputFailure(job, out, "package");
  return {};
}

}  // namespace

uint64_t StoredArchiveSize(const std::vector<SourceEntry>& entries) {
  const uint64_t timeField = ExtendedTimeField(0).size();
  uint64_t size = 22;  // the end record
  for (const SourceEntry& e : entries) size += 30 + 46 + 2 * (e.name.size() + timeField) + e.size;
  return size;
}

PackFailure WriteFolderArchive(const FolderJob& job) {
  if (job.needSetup && std::none_of(job.entries->begin(), job.entries->end(), [](const SourceEntry& e) {
        return !e.directory && IsTopLevelSetup(e.name);
      }))
    return {job.dirName, "r.setup is on, but no setup.exe stands at the top of the folder (the package starts that one only)"};
  if (job.method == PackMethod::Solid) return WriteSolid(job);
  if (job.method == PackMethod::Store && StoredArchiveSize(*job.entries) > job.room)
    return {job.dirName, "too large: the package would pass 2147483647 bytes (2 GiB - 1), the most the stub can read"};
  return WriteEntryByEntry(job);
}

std::string CheckSolidPayload(FileHandle f, const ArchiveFindings& found, bool needSetup, const std::string& stagingDir) {
  std::string why;
  Staged staged(StagingFile(stagingDir, why));
  if (staged.get() == NoFile) return "cannot stage the payload in " + stagingDir + ": " + why;
  if (FileSeek(f, found.payloadPos) != found.payloadPos) return "the payload cannot be read";
  uint32_t crc = 0;
  why = LzmaDecodeEntry(f, found.payloadCompressed, found.payloadSize, staged.get(), crc);
  if (!why.empty()) return "payload.zip: " + why;
  if (crc != found.payloadCrc) return "payload.zip: CRC-32 mismatch";
  const ArchiveFindings inner = CheckArchive(staged.get(), 0, ArchiveRole::Payload, needSetup);
  if (!inner.problem.empty()) return inner.problem;
  if (found.indexHeaders != inner.headers) return "payload.idx does not hold the payload's local headers";
  return "";
}
