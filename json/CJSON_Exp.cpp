// CJSON_Exp: the exported constructor, the zero-fill, and the operations on the document's root, each
// forwarding to the handle operation of the same name. The operations both classes share (assignment,
// look-ups, Clear, GetMemberCount, HasMember, IsArray, IsExist) have no body here: the export list
// (exports/Corvane.exports) and the link give both names SObject_Exp's one body.
#include "CJSON_Exp.h"

#include "StringUtils.h"
#include "json/Document.h"
#include "json/internal/FileAccess.h"

#include <cstddef>
#include <cstring>

static_assert(sizeof(CJSON_Exp) == sizeof(void*), "a document is one record pointer");
static_assert(sizeof(SObject_Exp) == sizeof(CJSON_Exp), "documents and handles share one layout");
static_assert(offsetof(CJSON_Exp, record) == 0 && offsetof(SObject_Exp, record) == 0,
              "the record pointer is the one word of both");

// A document read as the handle on its root.
static SObject_Exp& root(const CJSON_Exp* document) {
  return *reinterpret_cast<SObject_Exp*>(const_cast<CJSON_Exp*>(document));
}

CJSON_Exp::CJSON_Exp(const char* name, bool create) {
  makeFolder(kConfigFolder);
  // The path stays relative (resolved at every write-back) and lives as long as the document's tree.
  Open(*this, StringUtils::strunite(2, kConfigPrefix, name), create);
}

// The record stays: an object that got it by assignment may still use it, and is destroyed too.
CJSON_Exp::~CJSON_Exp() {}

// Serves CRedirector's zero-fill too (exports/Corvane.exports).
void CJSON_Exp::__autoclassinit2(unsigned int size) {
  memset(static_cast<void*>(this), 0, size);
}

bool CJSON_Exp::IsObject() {
  return root(this).IsObject();
}

SObject_Exp& CJSON_Exp::PushBackArray() {
  return root(this).PushBackArray();
}
void CJSON_Exp::PushBackBool(bool value) {
  root(this).PushBackBool(value);
}
void CJSON_Exp::PushBackDouble(double value) {
  root(this).PushBackDouble(value);
}
void CJSON_Exp::PushBackFloat(float value) {
  root(this).PushBackFloat(value);
}
void CJSON_Exp::PushBackInt(int value) {
  root(this).PushBackInt(value);
}
SObject_Exp& CJSON_Exp::PushBackObject() {
  return root(this).PushBackObject();
}
void CJSON_Exp::PushBackString(const char* value) {
  root(this).PushBackString(value);
}

SObject_Exp& CJSON_Exp::SetArray(const char* name) {
  return root(this).SetArray(name);
}
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
SObject_Exp& CJSON_Exp::SetObject(const char* name) {
  return root(this).SetObject(name);
}
void CJSON_Exp::SetString(const char* name, const char* value, bool overwrite) {
  root(this).SetString(name, value, overwrite);
}
