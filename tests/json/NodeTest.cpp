// Node handles: look-ups, reads, kind tests, changes and their write-backs.
#include "CJSON_Exp.h"
#include "json/BoundDocument.h"
#include "json/NodeRecord.h"
#include "support/TempFolder.h"

#include <algorithm>
#include <cfloat>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

const char kPath[] = "n.json";
const char kMark[] = "untouched";   // stands in the file where a rewrite would be seen

class NodeHandles : public TempFolderTest {
protected:
  // Writes text to the document's file and opens it as the launcher opens a manifest.
  CJSON_Exp& load(const char* text) {
    writeFile(kPath, text);
    return (new BoundDocument(kPath, false))->document;
  }

  // Replaces the file's text with a mark, so that a later call shows whether it rewrote the file.
  void mark() { writeFile(kPath, kMark); }
  std::string text() { return readFile(kPath); }
};

TEST_F(NodeHandles, NestedLookUpsAndMissingMembers) {
  CJSON_Exp& document = load("{\"a\": {\"b\": 1}}");
  const char* b = "b";
  SObject_Exp& found = document["a"][b];
  EXPECT_TRUE(found.IsExist());
  EXPECT_EQ(found.GetInt(), 1);
  EXPECT_EQ(found.GetName(), b);
  EXPECT_EQ(document.GetMemberCount(), 1u);
  EXPECT_EQ(document.record->name, nullptr);

  // Nothing derived from a handle that does not exist exists, reads as anything, or writes.
  SObject_Exp& missing = document["x"]["b"];
  EXPECT_FALSE(missing.IsExist());
  EXPECT_EQ(missing.GetInt(), 0);
  EXPECT_EQ(missing.GetName(), nullptr);
  EXPECT_EQ(missing.GetString(), nullptr);
  EXPECT_EQ(missing.GetDouble(), 0.0);
  EXPECT_EQ(missing.GetFloat(), 0.0f);
  EXPECT_FALSE(missing.GetBool());
  EXPECT_EQ(missing.GetMemberCount(), 0u);
  EXPECT_FALSE(missing.IsObject() || missing.IsArray() || missing.IsString() || missing.IsInt() ||
               missing.IsDouble() || missing.IsFloat() || missing.IsBool() || missing.HasMember("b"));
  missing.SetInt("c", 1, true);
  missing.PushBackInt(1);
  missing.SetString("s", "v", true);
  missing.Clear();
  missing.Clear("b");
  missing.Clear(0);
  missing.Clear(0, 0);
  EXPECT_FALSE(missing.SetObject("o").IsExist());
  EXPECT_FALSE(missing.PushBackArray().IsExist());
  EXPECT_FALSE(missing[0].IsExist());
  EXPECT_EQ(text(), "{\"a\": {\"b\": 1}}");
  EXPECT_FALSE(document["a"].HasMember("c"));

  // Names are compared by length and bytes.
  EXPECT_FALSE(document["A"].IsExist());
  EXPECT_FALSE(document["a "].IsExist());
  EXPECT_FALSE(document[""].IsExist());
  EXPECT_TRUE(document.HasMember("a"));
  EXPECT_TRUE(document["a"].HasMember("b"));
  EXPECT_FALSE(document.HasMember("b"));
}

TEST_F(NodeHandles, SetWithAndWithoutOverwrite) {
  CJSON_Exp& document = load("{\"s\": \"text\", \"last\": true}");
  document.SetInt("n", 5, false);
  EXPECT_EQ(text(), "{\n    \"s\": \"text\",\n    \"last\": true,\n    \"n\": 5\n}");
  mark();
  document.SetInt("n", 6, false);   // the existing value wins, and the file is written again
  EXPECT_EQ(document["n"].GetInt(), 5);
  EXPECT_EQ(text(), "{\n    \"s\": \"text\",\n    \"last\": true,\n    \"n\": 5\n}");
  document.SetInt("n", 6, true);
  EXPECT_EQ(document["n"].GetInt(), 6);

  // Overwriting changes the kind and keeps the position.
  document.SetInt("s", 7, true);
  EXPECT_TRUE(document["s"].IsInt());
  EXPECT_EQ(text(), "{\n    \"s\": 7,\n    \"last\": true,\n    \"n\": 6\n}");
  document.SetString("last", "t", true);
  document.SetDouble("n", 2.5, true);
  document.SetBool("s", false, true);
  document.SetFloat("f", 0.5f, true);
  EXPECT_EQ(text(), "{\n    \"s\": false,\n    \"last\": \"t\",\n    \"n\": 2.5,\n    \"f\": 0.5\n}");
}

TEST_F(NodeHandles, ArraysAppend) {
  CJSON_Exp& document = load("{\"list\": []}");
  SObject_Exp& list = document["list"];
  list.SetInt("ignored", 3, true);
  list.PushBackInt(7);
  list.PushBackString("s");
  list.PushBackBool(true);
  list.PushBackDouble(0.25);
  list.PushBackFloat(0.1f);
  list.SetString(nullptr, "t", false);
  EXPECT_EQ(list.GetMemberCount(), 7u);
  EXPECT_EQ(text(),
            "{\n    \"list\": [\n        3,\n        7,\n        \"s\",\n        true,\n        0.25,\n"
            "        0.10000000149011612,\n        \"t\"\n    ]\n}");

  // The document's own entries on an array root.
  CJSON_Exp& root = load("[]");
  root.PushBackInt(1);
  root.SetInt("any", 2, false);
  root.PushBackString("x");
  root.PushBackBool(false);
  root.PushBackDouble(1.5);
  root.PushBackFloat(2.0f);
  root.SetString("n", "y", false);
  root.SetBool(nullptr, true, false);
  root.SetDouble(nullptr, 3.0, false);
  root.SetFloat(nullptr, -1.0f, false);
  EXPECT_FALSE(root.PushBackObject().GetName());
  EXPECT_STREQ(root.SetArray("named").GetName(), "named");
  EXPECT_TRUE(root.IsArray());
  EXPECT_EQ(root.GetMemberCount(), 12u);
  EXPECT_EQ(text(),
            "[\n    1,\n    2,\n    \"x\",\n    false,\n    1.5,\n    2.0,\n    \"y\",\n    true,\n"
            "    3.0,\n    -1.0,\n    {},\n    []\n]");
}

TEST_F(NodeHandles, AddingContainers) {
  CJSON_Exp& document = load("{\"five\": 5}");
  const char* name = "o";
  SObject_Exp& first = document.SetObject(name);
  EXPECT_TRUE(first.IsObject());
  EXPECT_EQ(first.GetName(), name);
  EXPECT_EQ(text(), "{\n    \"five\": 5,\n    \"o\": {}\n}");
  mark();
  SObject_Exp& second = document.SetObject("o");   // already there: nothing is written
  EXPECT_EQ(text(), kMark);
  EXPECT_NE(&first, &second);
  EXPECT_NE(first.record, second.record);
  first.SetInt("in", 1, false);
  EXPECT_EQ(second["in"].GetInt(), 1);

  // An existing member of another kind is returned as it is.
  SObject_Exp& five = document.SetArray("five");
  EXPECT_TRUE(five.IsExist());
  EXPECT_FALSE(five.IsArray());
  EXPECT_EQ(five.GetInt(), 5);
  EXPECT_STREQ(five.GetName(), "five");

  const char* listName = "list";
  SObject_Exp& list = document.SetArray(listName);
  EXPECT_TRUE(list.IsArray());
  SObject_Exp& element = list.SetObject(listName);   // on an array the name only labels the handle
  EXPECT_EQ(element.GetName(), listName);
  EXPECT_TRUE(element.IsObject());
  SObject_Exp& pushed = list.PushBackArray();
  EXPECT_EQ(pushed.GetName(), nullptr);
  pushed.PushBackInt(9);
  EXPECT_EQ(text(),
            "{\n    \"five\": 5,\n    \"o\": {\n        \"in\": 1\n    },\n    \"list\": [\n        {},\n"
            "        [\n            9\n        ]\n    ]\n}");
}

TEST_F(NodeHandles, ElementAccessByIndex) {
  CJSON_Exp& document = load("{\"k\": \"v\", \"list\": [\"x\", 2, \"z\"], \"n\": 4}");
  EXPECT_FALSE(document[-1].IsExist());
  EXPECT_FALSE(document[3].IsExist());
  SObject_Exp& member = document[1];
  EXPECT_STREQ(member.GetName(), "list");
  EXPECT_TRUE(member.IsArray());
  EXPECT_STREQ(document[0].GetName(), "k");   // the member's name, not its text
  EXPECT_STREQ(document[0].GetString(), "v");

  EXPECT_FALSE(member[-1].IsExist());
  EXPECT_FALSE(member[3].IsExist());
  EXPECT_FALSE(member[-2147483647 - 1].IsExist());
  SObject_Exp& last = member[2];
  EXPECT_STREQ(last.GetString(), "z");
  EXPECT_EQ(last.GetName(), nullptr);
  EXPECT_EQ(member[1].GetInt(), 2);

  // Neither an object nor an array: no elements.
  EXPECT_FALSE(document[2][0].IsExist());
  EXPECT_FALSE(last[0].IsExist());
  EXPECT_EQ(text(), "{\"k\": \"v\", \"list\": [\"x\", 2, \"z\"], \"n\": 4}");
}

TEST_F(NodeHandles, ClearingArrays) {
  CJSON_Exp& document = load("[\"a\", \"b\", \"c\", \"d\", \"e\"]");
  document.Clear(1, 3);
  EXPECT_EQ(text(), "[\n    \"a\",\n    \"e\"\n]");
  mark();
  document.Clear(3, 1);
  EXPECT_EQ(text(), "[\n    \"a\",\n    \"e\"\n]");

  // Indices outside the array change nothing; the file is still written.
  const int ranges[][2] = {{-1, 0}, {0, 2}, {2, 2}, {-2147483647 - 1, 1}, {1, 2147483647}};
  for (const auto& range : ranges) {
    mark();
    document.Clear(range[0], range[1]);
    EXPECT_EQ(text(), "[\n    \"a\",\n    \"e\"\n]") << range[0] << ".." << range[1];
  }
  for (int index : {-1, 2, 2147483647}) {
    mark();
    document.Clear(index);
    EXPECT_EQ(text(), "[\n    \"a\",\n    \"e\"\n]") << index;
  }
  document.Clear(0);
  EXPECT_EQ(text(), "[\n    \"e\"\n]");
  document.Clear(0, 0);
  EXPECT_EQ(text(), "[]");

  CJSON_Exp& whole = load("[1, [2], {\"a\": 3}]");
  whole[1].Clear();
  whole[2].Clear();
  EXPECT_EQ(text(), "[\n    1,\n    [],\n    {}\n]");
  whole.Clear();
  EXPECT_EQ(text(), "[]");
  EXPECT_EQ(whole.GetMemberCount(), 0u);
}

TEST_F(NodeHandles, ClearingObjects) {
  CJSON_Exp& document = load("{\"j\": 1, \"k\": 2, \"l\": 3, \"k\": 4}");
  document.Clear("k");
  EXPECT_EQ(text(), "{\n    \"j\": 1,\n    \"l\": 3,\n    \"k\": 4\n}");
  EXPECT_EQ(document[1].GetInt(), 3);
  mark();
  document.Clear("missing");
  EXPECT_EQ(text(), "{\n    \"j\": 1,\n    \"l\": 3,\n    \"k\": 4\n}");

  // Index clears belong to arrays: on an object they change nothing.
  document.Clear(0);
  document.Clear(0, 1);
  EXPECT_EQ(document.GetMemberCount(), 3u);
  document.Clear();
  EXPECT_EQ(text(), "{}");
  document.SetInt("again", 1, false);
  EXPECT_EQ(text(), "{\n    \"again\": 1\n}");
}

TEST_F(NodeHandles, ReadsOfEveryKind) {
  CJSON_Exp& document = load(
      "{\"one\": 1, \"three\": 3, \"u\": 4000000000, \"big\": 5000000000, \"neg\": -5000000000,"
      " \"half\": 0.5, \"d\": 1.0, \"s\": \"text\", \"t\": true, \"f\": false, \"z\": null,"
      " \"o\": {\"a\": 1}, \"a\": [1, 2], \"huge\": 18446744073709551615, \"beyond\": 18446744073709551616}");
  EXPECT_FALSE(document["one"].GetBool());
  EXPECT_TRUE(document["t"].GetBool());
  EXPECT_FALSE(document["s"].GetBool());
  EXPECT_EQ(document["three"].GetDouble(), 3.0);
  EXPECT_EQ(document["three"].GetFloat(), 3.0f);
  EXPECT_EQ(document["u"].GetInt(), -294967296);
  EXPECT_EQ(document["big"].GetInt(), 705032704);
  EXPECT_EQ(document["neg"].GetInt(), -705032704);
  EXPECT_EQ(document["huge"].GetInt(), -1);
  EXPECT_EQ(document["u"].GetDouble(), 4000000000.0);
  EXPECT_EQ(document["neg"].GetDouble(), -5000000000.0);
  EXPECT_EQ(document["half"].GetDouble(), 0.5);
  EXPECT_EQ(document["half"].GetFloat(), 0.5f);
  EXPECT_EQ(document["beyond"].GetDouble(), 18446744073709551616.0);
  EXPECT_STREQ(document["s"].GetString(), "text");
  EXPECT_EQ(document["one"].GetString(), nullptr);
  EXPECT_EQ(document["t"].GetString(), nullptr);
  EXPECT_EQ(document["z"].GetString(), nullptr);

  // Mismatched kinds read as nothing.
  for (const char* name : {"half", "d", "s", "o", "a", "t", "z", "beyond"}) EXPECT_EQ(document[name].GetInt(), 0) << name;
  for (const char* name : {"s", "o", "a", "t", "f", "z"}) {
    EXPECT_EQ(document[name].GetDouble(), 0.0) << name;
    EXPECT_EQ(document[name].GetFloat(), 0.0f) << name;
  }
  EXPECT_EQ(document["o"].GetString(), nullptr);
  EXPECT_EQ(document["a"].GetString(), nullptr);
  for (const char* name : {"one", "half", "s", "t", "z"}) EXPECT_EQ(document[name].GetMemberCount(), 0u) << name;
  EXPECT_EQ(document["o"].GetMemberCount(), 1u);
  EXPECT_EQ(document["a"].GetMemberCount(), 2u);
  EXPECT_STREQ(document["o"].GetName(), "o");
}

TEST_F(NodeHandles, KindTests) {
  CJSON_Exp& document = load(
      "{\"i\": 5, \"neg\": -2147483648, \"u\": 3000000000, \"d\": 1.0, \"e\": 1e39, \"s\": \"x\","
      " \"t\": true, \"f\": false, \"z\": null, \"o\": {}, \"a\": []}");
  struct Kinds { const char* name; bool isInt, isDouble, isFloat, isString, isBool, isObject, isArray; };
  const Kinds table[] = {
      {"i", true, false, false, false, false, false, false},
      {"neg", true, false, false, false, false, false, false},
      {"u", false, false, false, false, false, false, false},
      {"d", false, true, true, false, false, false, false},
      {"e", false, true, false, false, false, false, false},
      {"s", false, false, false, true, false, false, false},
      {"t", false, false, false, false, true, false, false},
      {"f", false, false, false, false, true, false, false},
      {"z", false, false, false, false, false, false, false},
      {"o", false, false, false, false, false, true, false},
      {"a", false, false, false, false, false, false, true},
  };
  for (const Kinds& kinds : table) {
    SObject_Exp& node = document[kinds.name];
    SCOPED_TRACE(kinds.name);
    EXPECT_TRUE(node.IsExist());
    EXPECT_EQ(node.IsInt(), kinds.isInt);
    EXPECT_EQ(node.IsDouble(), kinds.isDouble);
    EXPECT_EQ(node.IsFloat(), kinds.isFloat);
    EXPECT_EQ(node.IsString(), kinds.isString);
    EXPECT_EQ(node.IsBool(), kinds.isBool);
    EXPECT_EQ(node.IsObject(), kinds.isObject);
    EXPECT_EQ(node.IsArray(), kinds.isArray);
  }

  // Stored kinds: floats and doubles are doubles; float range bounds are inclusive.
  document.SetFloat("i", 0.5f, true);
  EXPECT_TRUE(document["i"].IsDouble());
  EXPECT_TRUE(document["i"].IsFloat());
  EXPECT_FALSE(document["i"].IsInt());
  document.SetFloat("max", FLT_MAX, false);
  EXPECT_TRUE(document["max"].IsDouble());
  EXPECT_FALSE(document["max"].IsFloat());
  document.SetDouble("bound", -3.4028234e38, false);
  EXPECT_TRUE(document["bound"].IsFloat());
  document.SetDouble("past", 1e39, false);
  EXPECT_FALSE(document["past"].IsFloat());
  document.SetInt("five", 5, false);
  EXPECT_TRUE(document["five"].IsInt());
  EXPECT_FALSE(document["five"].IsDouble());
  EXPECT_FALSE(document["five"].IsFloat());
  document.SetInt("low", -2147483647 - 1, false);
  EXPECT_TRUE(document["low"].IsInt());
  EXPECT_EQ(document["low"].GetInt(), -2147483647 - 1);
}

TEST_F(NodeHandles, CallerTextIsReferenced) {
  CJSON_Exp& document = load("{}");
  char value[] = "abc";
  char name[] = "key";
  document.SetString(name, value, false);
  EXPECT_EQ(document[name].GetString(), value);
  value[0] = 'x';
  name[0] = 'm';
  document.SetInt("other", 1, false);
  EXPECT_EQ(text(), "{\n    \"mey\": \"xbc\",\n    \"other\": 1\n}");

  // Only the length measured when it was set is written.
  char longer[] = "ab";
  document.SetString("l", longer, false);
  longer[1] = 'Z';
  document.SetInt("more", 2, false);
  EXPECT_EQ(text(), "{\n    \"mey\": \"xbc\",\n    \"other\": 1,\n    \"l\": \"aZ\",\n    \"more\": 2\n}");

  // A null value changes nothing, though the file is still written.
  mark();
  document.SetString("n", nullptr, false);
  document.SetString("l", nullptr, true);
  EXPECT_EQ(text(), "{\n    \"mey\": \"xbc\",\n    \"other\": 1,\n    \"l\": \"aZ\",\n    \"more\": 2\n}");
  CJSON_Exp& array = load("[]");
  array.PushBackString(nullptr);
  EXPECT_EQ(text(), "[]");
  EXPECT_EQ(array.GetMemberCount(), 0u);
}

TEST_F(NodeHandles, HandlesAreDistinctAndOutliveTheirDocument) {
  CJSON_Exp* document = new CJSON_Exp("h.json", true);
  document->SetObject("a").SetString("s", "kept", false);
  SObject_Exp& one = (*document)["a"];
  SObject_Exp& two = (*document)["a"];
  EXPECT_NE(&one, &two);
  EXPECT_NE(one.record, two.record);
  EXPECT_EQ(one.record->value, two.record->value);
  one.SetInt("z", 1, false);
  EXPECT_TRUE(two.HasMember("z"));
  EXPECT_EQ(two["z"].GetInt(), 1);

  SObject_Exp& text = one["s"];
  delete document;
  EXPECT_STREQ(text.GetString(), "kept");
  two.SetBool("after", true, false);   // the path and the tree live on
  EXPECT_EQ(readFile("configs\\h.json"),
            "{\n    \"a\": {\n        \"s\": \"kept\",\n        \"z\": 1,\n        \"after\": true\n    }\n}");
}

TEST_F(NodeHandles, AssignmentsShareRecords) {
  CJSON_Exp& document = load("{\"a\": [1, 2, 3], \"b\": 4}");
  SObject_Exp& handle = document["b"];
  SObject_Exp& other = document["a"];
  EXPECT_EQ(&(handle = other), &handle);
  EXPECT_EQ(handle.record, other.record);
  EXPECT_EQ(handle.GetMemberCount(), 3u);

  EXPECT_EQ(&(handle = static_cast<void*>(document.record)), &handle);
  EXPECT_EQ(handle.record, document.record);
  EXPECT_TRUE(handle.IsObject());
  EXPECT_EQ(handle.GetName(), nullptr);
  handle.SetInt("c", 5, false);
  EXPECT_EQ(document["c"].GetInt(), 5);

  CJSON_Exp& copy = load("[]");
  NodeRecord* own = copy.record;
  EXPECT_EQ(&(copy = document), &copy);
  EXPECT_EQ(copy.record, document.record);
  EXPECT_EQ(copy.GetMemberCount(), 3u);
  copy.record = own;
}

// A document as an add-on lays it out in storage of its own, followed by bytes it also owns.
struct DocumentBlock {
  CJSON_Exp document;
  unsigned char after[4];
};

TEST_F(NodeHandles, ZeroFilledDocument) {
  DocumentBlock* block = static_cast<DocumentBlock*>(::operator new(sizeof(DocumentBlock)));
  memset(static_cast<void*>(block), 0xA5, sizeof *block);
  block->document.__autoclassinit2(sizeof(CJSON_Exp));
  EXPECT_EQ(block->document.record, nullptr);
  EXPECT_EQ(block->after[0], 0xA5);

  // A document without a record behaves as one that does not exist.
  EXPECT_FALSE(block->document.IsExist());
  EXPECT_FALSE(block->document["a"].IsExist());
  EXPECT_EQ(block->document.GetMemberCount(), 0u);
  block->document.SetInt("a", 1, false);
  block->document.Clear();

  block->document.__autoclassinit2(sizeof *block);
  EXPECT_EQ(block->after[3], 0);
  ::operator delete(block);
}

TEST_F(NodeHandles, ShapesThatDoNotFitChangeNothing) {
  CJSON_Exp& document = load("{\"a\": [1], \"s\": \"x\", \"n\": 2, \"t\": true, \"z\": null, \"o\": {}}");
  const char expected[] =
      "{\n    \"a\": [\n        1\n    ],\n    \"s\": \"x\",\n    \"n\": 2,\n    \"t\": true,\n"
      "    \"z\": null,\n    \"o\": {}\n}";
  document.Clear("none");
  ASSERT_EQ(text(), expected);

  // Appending to anything but an array: the value operations write, the container ones do not.
  mark();
  document.PushBackInt(1);
  document.SetInt(nullptr, 1, true);
  document.PushBackString("s");
  document.PushBackBool(true);
  document.PushBackDouble(1.0);
  document.PushBackFloat(1.0f);
  EXPECT_EQ(text(), expected);
  mark();
  EXPECT_FALSE(document.PushBackObject().IsExist());
  EXPECT_FALSE(document.PushBackArray().IsExist());
  EXPECT_FALSE(document.SetObject(nullptr).IsExist());
  EXPECT_FALSE(document["o"].SetArray(nullptr).IsExist());
  EXPECT_EQ(text(), kMark);

  for (const char* name : {"s", "n", "t", "z"}) {
    SCOPED_TRACE(name);
    SObject_Exp& node = document[name];
    mark();
    node.SetInt("x", 1, true);
    node.PushBackInt(1);
    node.Clear("x");
    node.Clear();
    node.Clear(0);
    node.Clear(0, 0);
    EXPECT_EQ(text(), expected);
    mark();
    EXPECT_FALSE(node.SetObject("x").IsExist());
    EXPECT_FALSE(node.SetArray("x").IsExist());
    EXPECT_FALSE(node.PushBackObject().IsExist());
    EXPECT_EQ(text(), kMark);
    EXPECT_FALSE(node["x"].IsExist());
    EXPECT_FALSE(node.HasMember("x"));
    EXPECT_FALSE(node[0].IsExist());
  }

  // Look-ups by name on an array, and null names anywhere.
  SObject_Exp& array = document["a"];
  EXPECT_FALSE(array["x"].IsExist());
  EXPECT_FALSE(array.HasMember("x"));
  array.Clear("x");
  EXPECT_FALSE(document[static_cast<const char*>(nullptr)].IsExist());
  EXPECT_FALSE(document.HasMember(nullptr));
  document.Clear(static_cast<const char*>(nullptr));
  document.SetInt(nullptr, 3, false);
  EXPECT_EQ(text(), expected);
}

// Look-ups take no lock: threads looking up in one shared document and in documents of their own all
// read exact values through handles that are all distinct.
TEST_F(NodeHandles, LookUpsFromSeveralThreads) {
  const int kThreads = 4, kRounds = 20000, kKeys = 64;
  std::string text = "{";
  for (int key = 0; key < kKeys; ++key) text += (key ? ", \"k" : "\"k") + std::to_string(key) + "\": " + std::to_string(key);
  CJSON_Exp& shared = load((text + "}").c_str());
  CJSON_Exp* own[kThreads];
  for (int i = 0; i < kThreads; ++i) own[i] = &load(("[" + std::to_string(1000 * i) + "]").c_str());
  std::vector<std::string> keys;
  for (int key = 0; key < kKeys; ++key) keys.push_back("k" + std::to_string(key));

  std::vector<SObject_Exp*> handles[kThreads];
  int wrong[kThreads] = {};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      for (int round = 0; round < kRounds; ++round) {
        const char* key = keys[round % kKeys].c_str();
        SObject_Exp& value = shared[key];
        SObject_Exp& mine = (*own[i])[0];
        if (value.GetInt() != round % kKeys || value.GetName() != key || mine.GetInt() != 1000 * i) ++wrong[i];
        handles[i].push_back(&value);
        handles[i].push_back(&mine);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  std::vector<SObject_Exp*> all;
  for (int i = 0; i < kThreads; ++i) {
    EXPECT_EQ(wrong[i], 0) << "thread " << i;
    all.insert(all.end(), handles[i].begin(), handles[i].end());
  }
  std::sort(all.begin(), all.end());
  EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end()) << "a handle was given out twice";
}

}  // namespace
