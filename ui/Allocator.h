// SPDX-FileCopyrightText: 2026 The Harkline developers
// SPDX-License-Identifier: GPL-3.0-or-later

#ifndef HARKLINE_ALLOCATOR_H
#define HARKLINE_ALLOCATOR_H

// The log box's text document now and then copies its whole text (megabytes) to reclaim what was
// removed from it, and the record compresses and reads back chunks all the time. With glibc's
// defaults, buffers that large are mapped fresh for each copy and unmapped after it, and the page
// faults of a fresh mapping cost more than the copy itself, most of all on a virtual machine, while
// the window's thread waits. Keeping them in the heap, and the heap's free top mapped, lets the
// next copy reuse the pages. Call first thing in main.
void reuseLargeAllocations();

#endif // HARKLINE_ALLOCATOR_H
