// File-system side of the file and path utilities: existence tests, directory trees and the
// temporary directory. Windows only (FindFirstFileA, CreateDirectoryA, GetTempPathA).
#pragma once
#include <cstdint>

// Room for the search pattern of a path that ends in a backslash: up to 252 characters of path,
// "*.*" and the terminating zero.
constexpr uint32_t PatternBufferSize = 255;

// Whether a file or directory answers to the path. A path ending in '\' is searched as the path
// without it followed by "*.*" (so C:\dir\ is found by C:\dir*.*); a path too long for that
// pattern answers false. Otherwise every '/' of buffer is turned into '\' in place first.
bool PathExists(char* buffer);

// Creates dir and its missing parents; failures are ignored (callers test with PathExists).
// A path shorter than three characters is taken to exist. True when dir was found or made:
// the caller's own existence test would answer true then, so it may be left out.
bool ForceDirectories(const char* dir);

// The system's temporary directory (ending in '\'), or "" when it cannot be had or does not fit.
void GetTempDirectory(char* dest, uint32_t size);
