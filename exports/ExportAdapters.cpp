// Adaptors for the exported names whose Microsoft convention differs from MinGW's own.
#include "CJSON_Exp.h"
#include "CRedirector.h"

#include <new>

// The exported object types are allocated by add-ons at these sizes (one or three 32-bit fields).
static_assert(sizeof(CJSON_Exp) == 4, "CJSON_Exp is one NodeRecord pointer");
static_assert(sizeof(SObject_Exp) == 4, "SObject_Exp is one NodeRecord pointer");
static_assert(sizeof(CRedirector) == 12, "CRedirector is three 32-bit fields");
static_assert(sizeof(bool) == 1 && sizeof(float) == 4 && sizeof(double) == 8, "exported value widths");

// A Microsoft constructor returns the object's address in EAX; a MinGW one returns nothing. These run
// the real constructor on the caller's storage (ECX) and return that address, removing their stack
// arguments as every exported member does.
extern "C" __attribute__((thiscall)) CJSON_Exp* corvaneConstructDocument(void* self, const char* name, bool create) {
  return new (self) CJSON_Exp(name, create);
}

extern "C" __attribute__((thiscall)) CRedirector* corvaneConstructRedirector(void* self) {
  return new (self) CRedirector();
}
