// Copy of a stored entry (method 0): package file to output file in chunks of up to 32 KB,
// deciphered when the entry is encrypted, each chunk folded into RunningCrc. Called by the
// extraction run.
#pragma once

// Copies CompressedLeft bytes from ArchiveHandle to OutputHandle. Nothing happens when
// CompressedLeft <= 0. Each chunk: read min(CompressedLeft, 32768) bytes (an empty or failed read
// ends the copy with CompressedLeft := 0), decipher when LocalHeader.Flags has bit 0 set, write,
// and fold into RunningCrc only the bytes the write reports as written, then OutputProgress.
// CompressedLeft ends at 0.
void CopyStoredEntry();
