// Memory pages in chosen states for the patching tests.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

typedef std::vector<unsigned char> Bytes;

// One committed private page with the given protection, filled with fill first; released on exit.
class Page {
public:
  Page(DWORD protection, unsigned char fill);
  ~Page();
  char* at;
};

// A reserved, never committed page; released on exit.
class ReservedPage {
public:
  ReservedPage();
  ~ReservedPage();
  char* at;
};

// A writable private page directly followed by a read-only view of a paging-file section, whose
// protection cannot be raised; the view's bytes are filled through a second, writable view.
class SplitPages {
public:
  explicit SplitPages(unsigned char fill);
  ~SplitPages();
  char* changeable;  // the private page
  char* fixed;       // the read-only view, at changeable + page size
private:
  HANDLE section;
  char* reservation;
  char* writer;
};

const size_t kPageSize = 0x1000;

// The address of a page that was committed and then released.
char* freedPage();
// The current protection of the page at address.
DWORD protectionOf(const void* address);
// size bytes at address, read even from a no-access or execute-only page (made readable for the copy).
Bytes bytesAt(const void* address, size_t size);
// Fills [address, address + size) with the bytes, whatever the page's protection.
void putBytes(void* address, const Bytes& bytes);
