// The mark of a Zelvix stub: a short text at the start of the stub's first section (the
// linker script cmake/stub.ld puts it there), which zelvix-pack looks for through the PE
// headers before it builds on a file. It holds the version the stub was built as.
#pragma once
#include "zelvix_version.h"

#define ZELVIX_STUB_MARK_PREFIX "Zelvix stub "
constexpr char StubMarkPrefix[] = ZELVIX_STUB_MARK_PREFIX;
constexpr char StubMark[] = ZELVIX_STUB_MARK_PREFIX ZELVIX_VERSION;
// The longest mark read back: the prefix and a version of up to 19 characters.
constexpr unsigned StubMarkMaxLength = sizeof StubMarkPrefix - 1 + 19;
