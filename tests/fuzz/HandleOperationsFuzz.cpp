// Fuzz target: a random sequence of handle operations on a random document, under the sanitizers: no
// fault, no leak (the handles stay, as the product keeps them; the document is released after each
// input), and the documented invariants: after every change the file holds exactly the tree, in
// PrettyWriter's text; no node changes its kind; nothing derived from a handle that does not exist
// exists or writes; no handle is handed out twice.
#include "fuzz/FuzzSupport.h"
#include "json/Document.h"
#include "json/NodeRecord.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace {

const size_t kMostHandles = 32;
const char kMark[] = "untouched";  // stands in the file where a write-back would show

class Run {
public:
  Run(FuzzedDataProvider& input, CJSON_Exp& document, const char* path) : input(input), document(document), path(path) {
    usable.push_back(reinterpret_cast<SObject_Exp*>(&document));  // the document read as the handle on its root
  }

  void step() {
    size_t which = input.ConsumeIntegralInRange<size_t>(0, usable.size() - 1);
    SObject_Exp& node = *usable[which];
    const bool onDocument = which == 0 && input.ConsumeBool();  // CJSON_Exp's own entries for the root
    const unsigned operation = input.ConsumeIntegralInRange<unsigned>(0, 22);
    if (operation < 5) return lookOrRead(node, operation, which);

    const bool live = node.IsExist();
    const JsonValue* value = live ? node.record->value : nullptr;
    const rapidjson::Type kind = live ? value->GetType() : rapidjson::kNullType;
    const bool rootIsObject = tree().IsObject();
    if (!live) writeWholeFile(path, reinterpret_cast<const uint8_t*>(kMark), strlen(kMark));
    SObject_Exp* added = onDocument ? change(document, operation) : change(node, operation);
    if (!live) {
      if (readWholeFile(path) != kMark) fuzzFailure("a change through a handle that does not exist wrote the file");
      if (added && added->IsExist()) fuzzFailure("a handle that does not exist gave one that does");
      if (!WriteBack(*document.record)) fuzzFailure("the tree could not be written back");
    }
    checkFileHolds(tree(), path);
    if (tree().IsObject() != rootIsObject) fuzzFailure("the root changed its kind");
    if (live && value->GetType() != kind) fuzzFailure("a node changed its kind");

    // Handles got before a change may no longer designate what they did (a container's storage may have
    // moved), so only the root and the handle the change itself returned stay in use.
    usable.resize(1);
    if (added) keep(*added);
  }

private:
  const JsonTree& tree() { return document.record->document->tree; }

  // Names and texts handed in are referenced by the tree, so they live as long as the run.
  const char* text() {
    texts.push_back(input.ConsumeRandomLengthString(24));
    texts.back().resize(strlen(texts.back().c_str()));
    return texts.back().c_str();
  }

  // Mostly one of a few short names, so that look-ups, sets and clears meet; sometimes null.
  const char* name() {
    static const char* const kNames[] = {"a", "b", "c", ""};
    unsigned pick = input.ConsumeIntegralInRange<unsigned>(0, 5);
    if (pick < 4) return kNames[pick];
    return pick == 4 ? text() : nullptr;
  }

  int index() { return input.ConsumeIntegralInRange<int>(-2, 6); }

  double number() {
    uint64_t bits = input.ConsumeIntegral<uint64_t>();  // NaN and the infinities included
    double value;
    memcpy(&value, &bits, sizeof value);
    return value;
  }

  void lookOrRead(SObject_Exp& node, unsigned operation, size_t which) {
    switch (operation) {
      case 0: return found(node, node[name()]);
      case 1: return found(node, node[index()]);
      case 2: {
        if (which == 0) return;  // the root handle is the document itself
        SObject_Exp& other = *usable[input.ConsumeIntegralInRange<size_t>(0, usable.size() - 1)];
        if (&(node = other) != &node) fuzzFailure("assignment returned another handle");
        return;
      }
      case 3:
        if (which != 0) node = static_cast<void*>(document.record);
        return;
      default:  // reads, for the sanitizers
        if (!node.IsExist() && (node.GetString() || node.GetMemberCount() || node.GetDouble() != 0.0))
          fuzzFailure("a handle that does not exist reads as something");
        node.GetFloat();
        node.HasMember(name());
    }
  }

  void found(SObject_Exp& node, SObject_Exp& handle) {
    if (!node.IsExist() && handle.IsExist())
      fuzzFailure("a look-up through a handle that does not exist found something");
    keep(handle);
  }

  // Makes a change; the handle it returns, if it returns one.
  template <typename Node>
  SObject_Exp* change(Node& node, unsigned operation) {
    const bool overwrite = input.ConsumeBool();
    switch (operation) {
      case 5: node.SetString(name(), input.ConsumeBool() ? text() : nullptr, overwrite); break;
      case 6: node.SetInt(name(), input.ConsumeIntegral<int>(), overwrite); break;
      case 7: node.SetDouble(name(), number(), overwrite); break;
      case 8: node.SetFloat(name(), static_cast<float>(number()), overwrite); break;
      case 9: node.SetBool(name(), input.ConsumeBool(), overwrite); break;
      case 10: return &node.SetObject(name());
      case 11: return &node.SetArray(name());
      case 12: node.PushBackString(input.ConsumeBool() ? text() : nullptr); break;
      case 13: node.PushBackInt(input.ConsumeIntegral<int>()); break;
      case 14: node.PushBackDouble(number()); break;
      case 15: node.PushBackFloat(static_cast<float>(number())); break;
      case 16: node.PushBackBool(input.ConsumeBool()); break;
      case 17: return &node.PushBackObject();
      case 18: return &node.PushBackArray();
      case 19: node.Clear(); break;
      case 20: node.Clear(name()); break;
      case 21: node.Clear(index()); break;
      default: node.Clear(index(), index()); break;
    }
    return nullptr;
  }

  void keep(SObject_Exp& handle) {
    if (!handle.record) fuzzFailure("a handle without a record");
    for (SObject_Exp* earlier : made)
      if (earlier == &handle) fuzzFailure("a handle was handed out twice");
    made.push_back(&handle);
    if (usable.size() < kMostHandles) usable.push_back(&handle);
    else usable[1 + input.ConsumeIntegralInRange<size_t>(0, kMostHandles - 2)] = &handle;
  }

  FuzzedDataProvider& input;
  CJSON_Exp& document;
  const char* path;
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
