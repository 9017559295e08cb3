// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "Allocator.h"

#include <malloc.h>

namespace {

// Above the largest buffer the box's document copies (8 MiB of text at its limit) and a chunk of
// the record, well below the record's budget.
constexpr int MappedAbove = 64 * 1024 * 1024;
constexpr int KeptFreeAtTop = 64 * 1024 * 1024;

} // namespace

void reuseLargeAllocations()
{
    mallopt(M_MMAP_THRESHOLD, MappedAbove);
    mallopt(M_TRIM_THRESHOLD, KeptFreeAtTop);
}
