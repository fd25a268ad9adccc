// Page protection changed for a scope: a range takes a new protection and gets its previous one back
// when the scope ends, whichever way it ends.
#pragma once

#include <windows.h>

class ProtectionChange {
public:
  ProtectionChange(void* address, SIZE_T size, DWORD protection)
      : address(address), size(size), previous(0), changed(VirtualProtect(address, size, protection, &previous) != 0) {}
  // The result is deliberately not checked: nothing could be done about a refusal here.
  ~ProtectionChange() {
    if (changed) VirtualProtect(address, size, previous, &previous);
  }
  ProtectionChange(const ProtectionChange&) = delete;
  ProtectionChange& operator=(const ProtectionChange&) = delete;

  // False when the range kept its protection (and nothing will be restored).
  bool applied() const { return changed; }

private:
  void* address;
  SIZE_T size;
  DWORD previous;
  bool changed;
};
