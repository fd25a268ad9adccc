// readableSpan: how far memory can be read, stopping at unreadable pages and at the allocation's end.
#include "patching/internal/ReadableSpan.h"
#include "patching/TestPages.h"

#include <gtest/gtest.h>

namespace {

TEST(ReadableSpan, RunsToTheEndOfTheAllocationOrTheFirstUnreadablePage) {
  Page pages(PAGE_READWRITE, 0, 3);
  setProtection(pages.at + kPageSize, PAGE_EXECUTE_READ);
  EXPECT_EQ(readableSpan(pages.at), 3 * kPageSize);
  EXPECT_EQ(readableSpan(pages.at + 0x10), 3 * kPageSize - 0x10);
  for (DWORD protection : {PAGE_NOACCESS, PAGE_READWRITE | PAGE_GUARD}) {
    SCOPED_TRACE(protection);
    setProtection(pages.at + 2 * kPageSize, protection);
    EXPECT_EQ(readableSpan(pages.at + 0x10), 2 * kPageSize - 0x10);
    EXPECT_EQ(readableSpan(pages.at + 2 * kPageSize), 0u);
    setProtection(pages.at + 2 * kPageSize, PAGE_READWRITE);
  }
  Page reserved(kReservedOnly, 0);
  EXPECT_EQ(readableSpan(reserved.at), 0u);
  EXPECT_EQ(readableSpan(freedPage()), 0u);
  EXPECT_EQ(readableSpan(nullptr), 0u);

  HMODULE module = GetModuleHandleA(nullptr);
  const IMAGE_NT_HEADERS32* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(
      reinterpret_cast<const char*>(module) + reinterpret_cast<const IMAGE_DOS_HEADER*>(module)->e_lfanew);
  EXPECT_EQ(readableSpan(module), (nt->OptionalHeader.SizeOfImage + kPageSize - 1) & ~(kPageSize - 1));
}

// Two readable allocations back to back: the span ends where the first one ends.
TEST(ReadableSpan, StopsAtTheNextAllocation) {
  const size_t unit = 0x10000;
  char* place = static_cast<char*>(VirtualAlloc(nullptr, 2 * unit, MEM_RESERVE, PAGE_NOACCESS));
  ASSERT_NE(place, nullptr);
  VirtualFree(place, 0, MEM_RELEASE);
  char* first = static_cast<char*>(VirtualAlloc(place, unit, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  char* second = static_cast<char*>(VirtualAlloc(place + unit, unit, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  ASSERT_EQ(first, place);
  ASSERT_EQ(second, place + unit);
  EXPECT_EQ(readableSpan(first + 0x100), unit - 0x100);
  VirtualFree(second, 0, MEM_RELEASE);
  VirtualFree(first, 0, MEM_RELEASE);
}

}  // namespace
