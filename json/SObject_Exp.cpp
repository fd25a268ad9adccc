// Handles to values inside a document: look-ups, reads, kind tests and the changes that write back.
// The operations shared with CJSON_Exp have their one body here; a document is laid out as a handle
// on its root. Running out of memory never reaches the caller: a change that cannot be made leaves the
// tree as it was, and a look-up that cannot be answered gives a handle that does not exist.
#include "SObject_Exp.h"

#include "json/Document.h"
#include "json/NodeRecord.h"
#include "json/internal/HandleStore.h"

#include <cmath>
#include <cstdint>

typedef JsonValue Value;

static const double kFloatLimit = 3.4028234e38;  // IsFloat bound: just inside the largest finite float

// Given out when memory runs out even for a handle: one for the whole process, made to designate
// nothing again each time, whatever a caller assigned to it.
static SObject_Exp gNoMemoryHandle = {nullptr};

// Whether a record designates a value (a zero-filled object holds no record at all).
static bool live(const NodeRecord* record) {
  return record && record->exists;
}

static SObject_Exp& missingHandle() {
  if (SObject_Exp* handle = newMissingHandle()) return *handle;
  gNoMemoryHandle.record = const_cast<NodeRecord*>(&kMissingRecord);
  return gNoMemoryHandle;
}

// A new handle on a value inside the node that parent designates.
static SObject_Exp& childHandle(const NodeRecord& parent, Value* value, const char* name) {
  if (SObject_Exp* handle = newHandle(NodeRecord{parent.document, value, name, true})) return *handle;
  return missingHandle();
}

// The Set… pattern: an array appends, an object adds the member or, with overwrite, replaces its
// value in place; anything else (and a missing value) changes nothing. The file is rewritten
// whenever the node exists, unless memory ran out before the change was made.
static void setMember(const NodeRecord* record, const char* name, Value* value, bool overwrite) {
  if (!live(record)) return;
  DocumentRecord& document = *record->document;
  Value& node = *record->value;
  try {
    if (value && node.IsArray()) {
      node.PushBack(*value, document.pool);  // the array grows before it changes
    } else if (value && name && node.IsObject()) {
      Value::MemberIterator member = node.FindMember(name);
      if (member == node.MemberEnd()) addMember(document, node, name, *value);
      else if (overwrite) member->value = *value;
    }
  } catch (...) {
    return;
  }
  WriteBack(*record);
}

// A number, or null for NaN and the infinities, which have no JSON text.
static void setFinite(Value& number, double value) {
  if (std::isfinite(value)) number.SetDouble(value);
}

// SetObject and SetArray: the existing member, or a new empty container of that kind appended.
static SObject_Exp& addContainer(const NodeRecord* record, const char* name, rapidjson::Type kind) {
  if (!live(record)) return missingHandle();
  Value& node = *record->value;
  if (!node.IsArray() && (!name || !node.IsObject())) return missingHandle();
  if (node.IsObject()) {
    Value::MemberIterator member = node.FindMember(name);
    if (member != node.MemberEnd()) return childHandle(*record, &member->value, name);
  }
  // The handle comes first, so that a container once added is never answered with a missing handle.
  SObject_Exp* added = newHandle(NodeRecord{record->document, nullptr, name, true});
  if (!added) return missingHandle();
  DocumentRecord& document = *record->document;
  Value container(kind);
  try {
    if (node.IsArray()) node.PushBack(container, document.pool);
    else addMember(document, node, name, container);
  } catch (...) {
    return missingHandle();
  }
  // Taken after the change: growing the container may have moved its members.
  added->record->value = node.IsArray() ? &node[node.Size() - 1] : &(node.MemberEnd() - 1)->value;
  WriteBack(*record);
  return *added;
}

SObject_Exp& SObject_Exp::operator=(SObject_Exp& other) {
  record = other.record;
  return *this;
}

SObject_Exp& SObject_Exp::operator=(void* other) {
  record = static_cast<NodeRecord*>(other);
  return *this;
}

SObject_Exp& SObject_Exp::operator[](const char* name) {
  if (!live(record) || !name || !record->value->IsObject()) return missingHandle();
  Value& node = *record->value;
  Value::MemberIterator member = node.FindMember(name);
  if (member == node.MemberEnd()) return missingHandle();
  return childHandle(*record, &member->value, name);
}

SObject_Exp& SObject_Exp::operator[](int index) {
  if (!live(record)) return missingHandle();
  Value& node = *record->value;
  unsigned int position = static_cast<unsigned int>(index);  // a negative index is out of range
  if (node.IsArray() && position < node.Size()) return childHandle(*record, &node[position], nullptr);
  if (node.IsObject() && position < node.MemberCount()) {
    Value::Member& member = node.MemberBegin()[position];
    return childHandle(*record, &member.value, member.name.GetString());
  }
  return missingHandle();
}

void SObject_Exp::Clear() {
  if (!live(record)) return;
  Value& node = *record->value;
  if (node.IsObject()) node.RemoveAllMembers();
  else if (node.IsArray()) node.Clear();
  WriteBack(*record);
}

void SObject_Exp::Clear(const char* name) {
  if (!live(record)) return;
  Value& node = *record->value;
  if (name && node.IsObject()) {
    Value::MemberIterator member = node.FindMember(name);
    if (member != node.MemberEnd()) node.EraseMember(member);  // keeps the others in order
  }
  WriteBack(*record);
}

void SObject_Exp::Clear(int index) {
  Clear(index, index);
}

void SObject_Exp::Clear(int first, int last) {
  if (!live(record)) return;
  Value& node = *record->value;
  // Only a range wholly inside the array is removed; the elements after it move down in order.
  if (node.IsArray() && first >= 0 && first <= last && static_cast<unsigned int>(last) < node.Size())
    node.Erase(node.Begin() + first, node.Begin() + last + 1);
  WriteBack(*record);
}

bool SObject_Exp::GetBool() {
  return live(record) && record->value->IsTrue();
}

double SObject_Exp::GetDouble() {
  if (!live(record) || !record->value->IsNumber()) return 0.0;
  const Value& number = *record->value;
  if (!number.IsUint64() || number.IsInt64()) return number.GetDouble();
  // From 2^63 up: the compiler would convert on the x87 unit, which rounds to the caller's precision.
  uint64_t whole = number.GetUint64();
  return static_cast<double>(static_cast<uint32_t>(whole >> 32)) * 4294967296.0 +
         static_cast<double>(static_cast<uint32_t>(whole));
}

float SObject_Exp::GetFloat() {
  return static_cast<float>(GetDouble());
}

int SObject_Exp::GetInt() {
  if (!live(record)) return 0;
  Value& node = *record->value;
  // The low 32 bits of any integer kind, read as a signed int.
  if (node.IsUint64()) return static_cast<int>(static_cast<unsigned int>(node.GetUint64()));
  if (node.IsInt64()) return static_cast<int>(static_cast<unsigned int>(node.GetInt64()));
  return 0;
}

char* SObject_Exp::GetString() {
  if (!live(record) || !record->value->IsString()) return nullptr;
  return const_cast<char*>(record->value->GetString());
}

char* SObject_Exp::GetName() {
  return record ? const_cast<char*>(record->name) : nullptr;
}

unsigned int SObject_Exp::GetMemberCount() {
  if (!live(record)) return 0;
  Value& node = *record->value;
  if (node.IsObject()) return node.MemberCount();
  if (node.IsArray()) return node.Size();
  return 0;
}

bool SObject_Exp::HasMember(const char* name) {
  return live(record) && name && record->value->IsObject() && record->value->HasMember(name);
}

bool SObject_Exp::IsArray() {
  return live(record) && record->value->IsArray();
}

bool SObject_Exp::IsBool() {
  return live(record) && record->value->IsBool();
}

bool SObject_Exp::IsDouble() {
  return live(record) && record->value->IsDouble();
}

bool SObject_Exp::IsExist() {
  return live(record);
}

bool SObject_Exp::IsFloat() {
  if (!IsDouble()) return false;
  double value = record->value->GetDouble();
  return value >= -kFloatLimit && value <= kFloatLimit;
}

bool SObject_Exp::IsInt() {
  return live(record) && record->value->IsInt();
}

bool SObject_Exp::IsObject() {
  return live(record) && record->value->IsObject();
}

bool SObject_Exp::IsString() {
  return live(record) && record->value->IsString();
}

SObject_Exp& SObject_Exp::PushBackArray() {
  return SetArray(nullptr);
}

void SObject_Exp::PushBackBool(bool value) {
  SetBool(nullptr, value, false);
}

void SObject_Exp::PushBackDouble(double value) {
  SetDouble(nullptr, value, false);
}

void SObject_Exp::PushBackFloat(float value) {
  SetFloat(nullptr, value, false);
}

void SObject_Exp::PushBackInt(int value) {
  SetInt(nullptr, value, false);
}

SObject_Exp& SObject_Exp::PushBackObject() {
  return SetObject(nullptr);
}

void SObject_Exp::PushBackString(const char* value) {
  SetString(nullptr, value, false);
}

SObject_Exp& SObject_Exp::SetArray(const char* name) {
  return addContainer(record, name, rapidjson::kArrayType);
}

void SObject_Exp::SetBool(const char* name, bool value, bool overwrite) {
  Value flag(value);
  setMember(record, name, &flag, overwrite);
}

void SObject_Exp::SetDouble(const char* name, double value, bool overwrite) {
  Value number;
  setFinite(number, value);
  setMember(record, name, &number, overwrite);
}

void SObject_Exp::SetFloat(const char* name, float value, bool overwrite) {
  Value number;
  setFinite(number, static_cast<double>(value));  // widened as it is, not rounded to a short decimal
  setMember(record, name, &number, overwrite);
}

void SObject_Exp::SetInt(const char* name, int value, bool overwrite) {
  Value number(value);
  setMember(record, name, &number, overwrite);
}

SObject_Exp& SObject_Exp::SetObject(const char* name) {
  return addContainer(record, name, rapidjson::kObjectType);
}

void SObject_Exp::SetString(const char* name, const char* value, bool overwrite) {
  Value text;
  if (value) text.SetString(rapidjson::StringRef(value));  // the caller's bytes, referenced
  setMember(record, name, value ? &text : nullptr, overwrite);
}
