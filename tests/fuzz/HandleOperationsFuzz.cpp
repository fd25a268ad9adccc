// Fuzz target: a random sequence of handle operations on a random document. No fault; no leak (the
// handles the operations hand out stay, as the product keeps them; the document is released after each
// input); after every modifying call the file holds exactly the tree, in PrettyWriter's text; and every
// call has the effect on its node that the handle rules give, checked against the tree itself.
#include "fuzz/FuzzSupport.h"
#include "json/Document.h"
#include "json/NodeRecord.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace {

typedef JsonValue Value;

const size_t kMostHandles = 32;

enum Operation {
  lookUpByName,
  lookUpByIndex,
  assignHandle,
  assignDocumentRecord,
  read,
  setString,
  setInt,
  setDouble,
  setFloat,
  setBool,
  setObject,
  setArray,
  pushBackString,
  pushBackInt,
  pushBackDouble,
  pushBackFloat,
  pushBackBool,
  pushBackObject,
  pushBackArray,
  clearAll,
  clearByName,
  clearByIndex,
  clearRange,
  operationCount
};

// One modifying call with its arguments, drawn before it is made so that its effect can be foreseen.
struct Call {
  Operation operation;
  const char* name;
  const char* text;
  int integer;
  double number;
  float single;
  bool flag;
  bool overwrite;
  int first;
  int last;

  bool setsByName() const { return operation >= setString && operation <= setArray; }
  bool addsContainer() const {
    return operation == setObject || operation == setArray || operation == pushBackObject || operation == pushBackArray;
  }
  bool wantsObject() const { return operation == setObject || operation == pushBackObject; }
  // The value that a Set… or PushBack… of a plain value stores; false for a null string.
  bool storedValue(Value& value) const {
    switch (operation) {
      case setString:
      case pushBackString:
        if (!text) return false;
        value.SetString(rapidjson::StringRef(text));
        return true;
      case setInt:
      case pushBackInt: value.SetInt(integer); return true;
      case setDouble:
      case pushBackDouble:
        if (std::isfinite(number)) value.SetDouble(number);
        return true;
      case setFloat:
      case pushBackFloat:
        if (std::isfinite(single)) value.SetDouble(single);
        return true;
      case setBool:
      case pushBackBool: value.SetBool(flag); return true;
      default: return false;
    }
  }
};

// The index of the first member of that name (compared by length and bytes), or -1.
long firstMember(const Value& object, const char* name) {
  size_t length = strlen(name);
  for (Value::ConstMemberIterator it = object.MemberBegin(); it != object.MemberEnd(); ++it) {
    if (it->name.GetStringLength() == length && memcmp(it->name.GetString(), name, length) == 0)
      return it - object.MemberBegin();
  }
  return -1;
}

// A stored value as the call meant it: strings by the caller's own pointer, doubles by their bits.
bool sameStored(const Value& stored, const Value& meant) {
  if (meant.IsString()) return stored.IsString() && stored.GetString() == meant.GetString();
  if (meant.IsDouble()) {
    if (!stored.IsDouble()) return false;
    double x = stored.GetDouble();
    double y = meant.GetDouble();
    return memcmp(&x, &y, sizeof x) == 0;
  }
  if (meant.IsInt()) return stored.IsInt() && !stored.IsDouble() && stored.GetInt() == meant.GetInt();
  if (meant.IsBool()) return stored.IsBool() && stored.GetBool() == meant.GetBool();
  return stored.IsNull() && meant.IsNull();
}

class Run {
public:
  Run(FuzzedDataProvider& input, CJSON_Exp& document, const char* path) : input(input), document(document), path(path) {
    usable.push_back(asHandle(document));
    rootIsObject = document.record->document->tree.IsObject();
  }

  void step() {
    size_t which = input.ConsumeIntegralInRange<size_t>(0, usable.size() - 1);
    SObject_Exp& node = *usable[which];
    bool onDocument = which == 0 && input.ConsumeBool();  // CJSON_Exp's own entries for the root
    Operation operation = static_cast<Operation>(input.ConsumeIntegralInRange<int>(0, operationCount - 1));
    switch (operation) {
      case lookUpByName: {
        const char* key = name();
        checkLookUp(node, onDocument ? document[key] : node[key], key);
        return;
      }
      case lookUpByIndex: {
        int at = index();
        checkLookUp(node, onDocument ? document[at] : node[at], at);
        return;
      }
      case assignHandle: {
        if (which == 0) return;  // the root handle is the document itself
        SObject_Exp& other = *usable[input.ConsumeIntegralInRange<size_t>(0, usable.size() - 1)];
        if (&(node = other) != &node) fuzzFailure("assignment returned another handle");
        if (node.record != other.record) fuzzFailure("assignment did not share the record");
        return;
      }
      case assignDocumentRecord:
        if (which == 0) return;
        node = static_cast<void*>(document.record);
        if (node.record != document.record) fuzzFailure("assignment of a record did not take it");
        return;
      case read: checkReads(node); return;
      default: break;
    }

    Call call = draw(operation);
    const bool live = node.IsExist();
    Value* value = live ? node.record->value : nullptr;
    const bool wasObject = live && value->IsObject();
    const bool wasArray = live && value->IsArray();
    const unsigned count = wasObject ? value->MemberCount() : wasArray ? value->Size() : 0;
    const long existing = wasObject && call.name ? firstMember(*value, call.name) : -1;
    SObject_Exp* added = onDocument ? make(document, call) : make(node, call);
    checkFileHolds(document.record->document->tree, path);
    if (document.record->document->tree.IsObject() != rootIsObject) fuzzFailure("the root changed its kind");
    if (live) {
      if (value->IsObject() != wasObject || value->IsArray() != wasArray) fuzzFailure("a node changed its kind");
      checkEffect(call, *value, count, existing, added);
    } else if (added && added->IsExist()) {
      fuzzFailure("a container was added under a handle that does not exist");
    }

    // Handles got before the call may no longer designate what they did (a container's storage may
    // have moved), so only the root and the handle the call itself returned stay in use.
    usable.resize(1);
    if (added) keep(*added);
  }

private:
  static SObject_Exp* asHandle(CJSON_Exp& document) { return reinterpret_cast<SObject_Exp*>(&document); }

  // Names and texts handed in are referenced by the tree, so they live as long as the run.
  const char* text() {
    texts.push_back(input.ConsumeRandomLengthString(24));
    std::string& kept = texts.back();
    kept.resize(strlen(kept.c_str()));
    return kept.c_str();
  }

  // Mostly one of a few short names, so that look-ups, sets and clears meet; sometimes null.
  const char* name() {
    static const char* const kNames[] = {"a", "b", "c", ""};
    unsigned pick = input.ConsumeIntegralInRange<unsigned>(0, 5);
    if (pick < 4) return kNames[pick];
    return pick == 4 ? text() : nullptr;
  }

  int index() { return input.ConsumeIntegralInRange<int>(-2, 6); }

  Call draw(Operation operation) {
    Call call = {};
    call.operation = operation;
    call.overwrite = input.ConsumeBool();
    if (call.setsByName() || operation == clearByName) call.name = name();
    if (operation == setString || operation == pushBackString) call.text = input.ConsumeBool() ? text() : nullptr;
    call.integer = input.ConsumeIntegral<int>();
    uint64_t bits = input.ConsumeIntegral<uint64_t>();
    memcpy(&call.number, &bits, sizeof call.number);
    uint32_t singleBits = input.ConsumeIntegral<uint32_t>();
    memcpy(&call.single, &singleBits, sizeof call.single);
    call.flag = input.ConsumeBool();
    call.first = index();
    call.last = index();
    return call;
  }

  // Makes the call; the handle it returns, if it returns one.
  template <typename Node>
  SObject_Exp* make(Node& node, const Call& call) {
    switch (call.operation) {
      case setString: node.SetString(call.name, call.text, call.overwrite); break;
      case setInt: node.SetInt(call.name, call.integer, call.overwrite); break;
      case setDouble: node.SetDouble(call.name, call.number, call.overwrite); break;
      case setFloat: node.SetFloat(call.name, call.single, call.overwrite); break;
      case setBool: node.SetBool(call.name, call.flag, call.overwrite); break;
      case setObject: return &node.SetObject(call.name);
      case setArray: return &node.SetArray(call.name);
      case pushBackString: node.PushBackString(call.text); break;
      case pushBackInt: node.PushBackInt(call.integer); break;
      case pushBackDouble: node.PushBackDouble(call.number); break;
      case pushBackFloat: node.PushBackFloat(call.single); break;
      case pushBackBool: node.PushBackBool(call.flag); break;
      case pushBackObject: return &node.PushBackObject();
      case pushBackArray: return &node.PushBackArray();
      case clearAll: node.Clear(); break;
      case clearByName: node.Clear(call.name); break;
      case clearByIndex: node.Clear(call.first); break;
      case clearRange: node.Clear(call.first, call.last); break;
      default: fuzzFailure("no such operation"); break;
    }
    return nullptr;
  }

  // What the call did to the node that existed, given its count and the index of the first member of
  // the call's name (-1 when none) before the call, and the handle the call returned. An array takes
  // every value appended (a Set… with a name too); an object takes a new member by name, or with
  // overwrite gets the first one's value replaced; anything else changes nothing. SetObject and SetArray
  // on a member that is there hand it back. Clears remove only what lies wholly inside the node.
  void checkEffect(const Call& call, const Value& node, unsigned count, long existing, SObject_Exp* added) {
    const bool array = node.IsArray();
    const bool object = node.IsObject();
    const bool newMember = object && call.name && existing < 0;
    Value meant;
    const bool plainValue = call.storedValue(meant);
    const bool appends = (plainValue || call.addsContainer()) && (array || newMember);
    unsigned expected = count + (appends ? 1 : 0);
    if (call.operation == clearAll && (array || object)) expected = 0;
    if (call.operation == clearByName && object && existing >= 0) expected = count - 1;
    bool inside = array && call.first >= 0 && call.first <= call.last && static_cast<unsigned>(call.last) < count;
    if (call.operation == clearByIndex && array && call.first >= 0 && static_cast<unsigned>(call.first) < count)
      expected = count - 1;
    if (call.operation == clearRange && inside) expected = count - (call.last - call.first + 1);

    const unsigned now = object ? node.MemberCount() : array ? node.Size() : 0;
    if (now != expected)
      fuzzFailure("the node holds another number of values",
                  std::to_string(count) + " then " + std::to_string(now) + ", expected " + std::to_string(expected));

    // Where the value added, or the member handed back, now stands.
    const Value* placed = nullptr;
    if (appends) {
      placed = array ? &node[now - 1] : &(node.MemberEnd() - 1)->value;
      if (newMember && (node.MemberEnd() - 1)->name.GetString() != call.name)
        fuzzFailure("a new member does not carry the caller's name");
    } else if (object && call.name && existing >= 0 && (call.operation == setObject || call.operation == setArray)) {
      placed = &node.MemberBegin()[existing].value;
    }
    if (plainValue && appends && !sameStored(*placed, meant)) fuzzFailure("the value added is not the one given");
    if (plainValue && !appends && object && call.name && existing >= 0 && call.setsByName() && call.overwrite &&
        !sameStored(node.MemberBegin()[existing].value, meant))
      fuzzFailure("overwrite did not store the value");

    if (!call.addsContainer()) return;
    if (!added) fuzzFailure("a container call returned no handle");
    if (!placed) {
      if (added->IsExist()) fuzzFailure("a container call that adds nothing returned a handle that exists");
      return;
    }
    if (!added->IsExist() || added->record->value != placed || added->GetName() != call.name)
      fuzzFailure("the handle returned does not designate the container under the name given");
    unsigned size = placed->IsObject() ? placed->MemberCount() : placed->IsArray() ? placed->Size() : 1;
    if (appends && (placed->IsObject() != call.wantsObject() || placed->IsArray() == call.wantsObject() || size != 0))
      fuzzFailure("the container added is not an empty one of its kind");
  }

  // A look-up gives the first member of that name, or the element or member at that index, with the
  // name it was reached under; otherwise a handle that does not exist.
  void checkLookUp(SObject_Exp& node, SObject_Exp& found, const char* key) {
    keep(found);
    const Value* value = node.IsExist() ? node.record->value : nullptr;
    long at = value && value->IsObject() && key ? firstMember(*value, key) : -1;
    if (at < 0) {
      if (found.IsExist()) fuzzFailure("a look-up by name found what is not there");
      return;
    }
    if (!found.IsExist() || found.record->value != &value->MemberBegin()[at].value || found.GetName() != key)
      fuzzFailure("a look-up by name did not find the first member of that name");
  }

  void checkLookUp(SObject_Exp& node, SObject_Exp& found, int at) {
    keep(found);
    const Value* value = node.IsExist() ? node.record->value : nullptr;
    unsigned count = !value ? 0 : value->IsObject() ? value->MemberCount() : value->IsArray() ? value->Size() : 0;
    if (at < 0 || static_cast<unsigned>(at) >= count) {
      if (found.IsExist()) fuzzFailure("a look-up by index found what is not there");
      return;
    }
    const Value* expected = value->IsArray() ? &(*value)[at] : &value->MemberBegin()[at].value;
    const char* name = value->IsArray() ? nullptr : value->MemberBegin()[at].name.GetString();
    if (!found.IsExist() || found.record->value != expected || found.GetName() != name)
      fuzzFailure("a look-up by index did not find the value at that index");
  }

  void keep(SObject_Exp& handle) {
    for (SObject_Exp* earlier : made) {
      if (earlier == &handle) fuzzFailure("a handle was handed out twice");
    }
    if (!handle.record) fuzzFailure("a handle without a record");
    made.push_back(&handle);
    if (usable.size() < kMostHandles) usable.push_back(&handle);
    else usable[1 + input.ConsumeIntegralInRange<size_t>(0, kMostHandles - 2)] = &handle;
  }

  // Reads agree with the value's kind and never fault.
  void checkReads(SObject_Exp& node) {
    bool exists = node.IsExist();
    char* text = node.GetString();
    if ((text != nullptr) != (exists && node.IsString())) fuzzFailure("GetString disagrees with IsString");
    if (node.GetBool() && !node.IsBool()) fuzzFailure("GetBool true on something not a boolean");
    if (node.IsInt() && node.IsDouble()) fuzzFailure("a value both IsInt and IsDouble");
    if (node.IsFloat() && !node.IsDouble()) fuzzFailure("IsFloat without IsDouble");
    if (!exists && (node.GetMemberCount() || node.GetInt() || node.GetDouble() != 0.0 || node.GetName()))
      fuzzFailure("a handle that does not exist reads as something");
    if (exists) {
      const Value& value = *node.record->value;
      unsigned count = value.IsObject() ? value.MemberCount() : value.IsArray() ? value.Size() : 0;
      if (node.GetMemberCount() != count) fuzzFailure("GetMemberCount disagrees with the tree");
      if (node.IsObject() != value.IsObject() || node.IsArray() != value.IsArray())
        fuzzFailure("kind tests disagree with the tree");
      if (value.IsInt() && node.GetInt() != value.GetInt()) fuzzFailure("GetInt misreads an int");
    }
    node.GetFloat();
    node.HasMember(name());
  }

  FuzzedDataProvider& input;
  CJSON_Exp& document;
  const char* path;
  bool rootIsObject;
  std::vector<SObject_Exp*> usable;  // [0] is the document read as the handle on its root
  std::vector<SObject_Exp*> made;    // every handle handed out (the product keeps them)
  std::deque<std::string> texts;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const char* path = scratchFile("ops.json");
  remove(path);
  if (input.ConsumeBool()) {
    std::string start = input.ConsumeRandomLengthString(512);
    writeWholeFile(path, reinterpret_cast<const uint8_t*>(start.data()), start.size());
  }
  ScratchDocument scratch(path, true);
  CJSON_Exp& document = scratch.document();
  if (!document.IsExist()) fuzzFailure("the document did not open");

  // From here on the file holds the tree, whatever the text it started from.
  if (!WriteBack(*document.record)) fuzzFailure("a loaded tree could not be written back");
  Run run(input, document, path);
  for (int steps = 0; steps < 64 && input.remaining_bytes() > 0; ++steps) run.step();
  return 0;
}
