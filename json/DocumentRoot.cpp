// CJSON_Exp's operations on its root: each forwards to the handle operation of the same name.
// The shared ones (assignment, look-ups, Clear, GetMemberCount, HasMember, IsArray, IsExist) keep
// one body for both classes, which the export table maps both names to.
#include "CJSON_Exp.h"

#include <cstddef>

static_assert(sizeof(CJSON_Exp) == sizeof(void*), "a document is one record pointer");
static_assert(sizeof(SObject_Exp) == sizeof(CJSON_Exp), "documents and handles share one layout");
static_assert(offsetof(CJSON_Exp, record) == 0 && offsetof(SObject_Exp, record) == 0,
              "the record pointer is the one word of both");

// A document read as the handle on its root.
static SObject_Exp& root(const CJSON_Exp* document) {
  return *reinterpret_cast<SObject_Exp*>(const_cast<CJSON_Exp*>(document));
}

CJSON_Exp& CJSON_Exp::operator=(const CJSON_Exp& other) {
  root(this) = root(&other);
  return *this;
}

SObject_Exp& CJSON_Exp::operator[](const char* name) { return root(this)[name]; }
SObject_Exp& CJSON_Exp::operator[](int index) { return root(this)[index]; }

void CJSON_Exp::Clear() { root(this).Clear(); }
void CJSON_Exp::Clear(const char* name) { root(this).Clear(name); }
void CJSON_Exp::Clear(int index) { root(this).Clear(index); }
void CJSON_Exp::Clear(int first, int last) { root(this).Clear(first, last); }

unsigned int CJSON_Exp::GetMemberCount() { return root(this).GetMemberCount(); }
bool CJSON_Exp::HasMember(const char* name) { return root(this).HasMember(name); }
bool CJSON_Exp::IsArray() { return root(this).IsArray(); }
bool CJSON_Exp::IsExist() { return root(this).IsExist(); }
bool CJSON_Exp::IsObject() { return root(this).IsObject(); }

SObject_Exp& CJSON_Exp::PushBackArray() { return root(this).PushBackArray(); }
void CJSON_Exp::PushBackBool(bool value) { root(this).PushBackBool(value); }
void CJSON_Exp::PushBackDouble(double value) { root(this).PushBackDouble(value); }
void CJSON_Exp::PushBackFloat(float value) { root(this).PushBackFloat(value); }
void CJSON_Exp::PushBackInt(int value) { root(this).PushBackInt(value); }
SObject_Exp& CJSON_Exp::PushBackObject() { return root(this).PushBackObject(); }
void CJSON_Exp::PushBackString(const char* value) { root(this).PushBackString(value); }

SObject_Exp& CJSON_Exp::SetArray(const char* name) { return root(this).SetArray(name); }
void CJSON_Exp::SetBool(const char* name, bool value, bool overwrite) {
  root(this).SetBool(name, value, overwrite);
}
void CJSON_Exp::SetDouble(const char* name, double value, bool overwrite) {
  root(this).SetDouble(name, value, overwrite);
}
void CJSON_Exp::SetFloat(const char* name, float value, bool overwrite) {
  root(this).SetFloat(name, value, overwrite);
}
void CJSON_Exp::SetInt(const char* name, int value, bool overwrite) {
  root(this).SetInt(name, value, overwrite);
}
SObject_Exp& CJSON_Exp::SetObject(const char* name) { return root(this).SetObject(name); }
void CJSON_Exp::SetString(const char* name, const char* value, bool overwrite) {
  root(this).SetString(name, value, overwrite);
}
