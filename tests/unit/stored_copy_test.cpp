// Stored-entry copy: chunking of reads and writes, empty and negative sizes, a file cut short,
// a full disk (the CRC then covers only what was written) and a stop the run asks for.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <thread>
#include "codec/stored_copy.h"
#include "support/entry_runner.h"
#include "support/test_data.h"

namespace {

TEST(StoredCopy, CopiesIn32KChunks) {
  EnsureCrcTable();
  const Bytes data = MakeData(DataKind::Random, 100000, 21);
  TempFile in;
  in.Set(data);
  // A packet socket keeps each write a message of its own, so the write sizes can be seen.
  int pair[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET, 0, pair), 0);
  std::vector<ssize_t> writes;
  Bytes received;
  std::thread reader([&] {
    Bytes buffer(65536);
    for (ssize_t got; (got = recv(pair[1], buffer.data(), buffer.size(), 0)) > 0;) {
      writes.push_back(got);
      received.insert(received.end(), buffer.begin(), buffer.begin() + got);
    }
  });
  EntryInput input(in.fd, 100000);
  EntryOutput output(pair[0]);
  EXPECT_TRUE(CopyStored(input, output));
  shutdown(pair[0], SHUT_WR);
  reader.join();
  close(pair[0]);
  close(pair[1]);
  EXPECT_EQ(writes, (std::vector<ssize_t>{32768, 32768, 32768, 1696}));
  EXPECT_TRUE(received == data);
  EXPECT_EQ(OutputCrc(output), ZlibCrc(data));
  EXPECT_EQ(input.left, 0);
}

TEST(StoredCopy, EmptyAndNegativeSizesCopyNothing) {
  for (int64_t size : {0, -3}) {
    const EntryResult r = CopyStoredBytes(Bytes(50, 1), size);
    EXPECT_TRUE(r.output.empty());
    EXPECT_EQ(r.crc, 0u);  // register untouched: the CRC-32 of no data
    EXPECT_EQ(r.compressedLeft, int32_t(size));
  }
}

TEST(StoredCopy, FileCutShortCopiesWhatThereIs) {
  const Bytes data = MakeData(DataKind::Text, 40000, 4);
  const EntryResult r = CopyStoredBytes(data, 50000);
  EXPECT_TRUE(r.output == data);
  EXPECT_FALSE(r.ended);
  EXPECT_EQ(r.compressedLeft, 0);
  EXPECT_EQ(r.crc, ZlibCrc(data));  // the header's CRC is of 50,000 bytes: the entry fails
}

// A full disk, also when the progress call asks to stop at the same write: the system's reason
// is what the run reports.
TEST(StoredCopy, FullDiskStopsTheCopyWithTheSystemsReason) {
  EnsureCrcTable();
  TempFile in;
  in.Set(Bytes(70000, 7));
  const int full = open("/dev/full", O_WRONLY);
  ASSERT_GE(full, 0);
  for (const bool stop : {false, true}) {
    SCOPED_TRACE(stop ? "and a stop" : "alone");
    ASSERT_EQ(lseek(in.fd, 0, SEEK_SET), 0);
    EntryInput input(in.fd, 70000);
    EntryOutput output(full);
    if (stop) output.progress = [](void*) { return false; };
    EXPECT_FALSE(CopyStored(input, output));
    EXPECT_EQ(output.crc, 0xFFFFFFFFu);
    EXPECT_EQ(output.fault, OutputFault::WriteFailed);
    EXPECT_EQ(output.error, uint32_t(ENOSPC));
    EXPECT_GT(input.left, 0) << "nothing more is read once the output failed";
  }
  close(full);
}

// The progress call says stop after the second chunk: the copy ends there (Cancelled), with
// what was written folded into the CRC-32 and nothing more read.
TEST(StoredCopy, StopAskedByTheProgressCallEndsTheCopyAtThatWrite) {
  EnsureCrcTable();
  const Bytes data = MakeData(DataKind::Random, 100000, 5);
  TempFile in, out;
  in.Set(data);
  EntryInput input(in.fd, 100000);
  EntryOutput output(out.fd);
  int calls = 0;
  output.progress = [](void* context) { return ++*static_cast<int*>(context) < 2; };
  output.progressContext = &calls;
  EXPECT_FALSE(CopyStored(input, output));
  EXPECT_EQ(output.fault, OutputFault::Cancelled);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(output.written, 65536u);
  EXPECT_EQ(OutputCrc(output), ZlibCrc(Bytes(data.begin(), data.begin() + 65536)));
  EXPECT_EQ(input.left, 100000 - 65536) << "the third chunk is never read";
}

}  // namespace
