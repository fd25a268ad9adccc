// Node handles: look-ups, reads, kind tests, changes and their write-backs.
#include "CJSON_Exp.h"
#include "json/BoundDocument.h"
#include "support/TempFolder.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cfloat>
#include <string>
#include <thread>
#include <vector>

namespace {

const char kPath[] = "n.json";
const char kMark[] = "untouched";  // stands in the file where a rewrite would be seen

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

  // Nothing derived from a handle that does not exist exists or writes (its reads are in the reads table).
  SObject_Exp& missing = document["x"]["b"];
  EXPECT_FALSE(missing.HasMember("b"));
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

  // Names are compared by length and bytes.
  EXPECT_FALSE(document["A"].IsExist());
  EXPECT_FALSE(document["a "].IsExist());
  EXPECT_FALSE(document[""].IsExist());
  EXPECT_FALSE(document.HasMember("b"));
}

TEST_F(NodeHandles, SetWithAndWithoutOverwrite) {
  CJSON_Exp& document = load("{\"s\": \"text\", \"last\": true}");
  document.SetInt("n", 5, false);
  EXPECT_EQ(text(), "{\n    \"s\": \"text\",\n    \"last\": true,\n    \"n\": 5\n}");
  mark();
  document.SetInt("n", 6, false);  // the existing value wins, and the file is written again
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
  EXPECT_EQ(first.GetName(), name);
  EXPECT_EQ(text(), "{\n    \"five\": 5,\n    \"o\": {}\n}");
  mark();
  SObject_Exp& second = document.SetObject("o");  // already there: nothing is written
  EXPECT_EQ(text(), kMark);
  EXPECT_NE(&first, &second);
  first.SetInt("in", 1, false);
  EXPECT_EQ(second["in"].GetInt(), 1);

  // An existing member of another kind is returned as it is.
  SObject_Exp& five = document.SetArray("five");
  EXPECT_FALSE(five.IsArray());
  EXPECT_EQ(five.GetInt(), 5);

  const char* listName = "list";
  SObject_Exp& list = document.SetArray(listName);
  SObject_Exp& element = list.SetObject(listName);  // on an array the name only labels the handle
  EXPECT_EQ(element.GetName(), listName);
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
  EXPECT_STREQ(document[0].GetName(), "k");  // the member's name, not its text
  EXPECT_STREQ(document[0].GetString(), "v");

  EXPECT_FALSE(member[3].IsExist());
  EXPECT_FALSE(member[-2147483647 - 1].IsExist());
  SObject_Exp& last = member[2];
  EXPECT_STREQ(last.GetString(), "z");
  EXPECT_EQ(last.GetName(), nullptr);
  EXPECT_EQ(member[1].GetInt(), 2);

  // Neither an object nor an array: no elements.
  EXPECT_FALSE(document[2][0].IsExist());
  EXPECT_FALSE(last[0].IsExist());
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

// Every read and kind test of every kind of value, loaded or set, and of a handle that does not exist:
// integers read as their low 32 bits, mismatched kinds as nothing; floats are stored as doubles;
// IsFloat's bounds are inclusive.
TEST_F(NodeHandles, ReadsAndKindsOfEveryValue) {
  CJSON_Exp& document = load(
      "{\"one\": 1, \"neg\": -2147483648, \"u\": 4000000000, \"big\": 5000000000, \"low\": -5000000000,"
      " \"huge\": 18446744073709551615, \"beyond\": 18446744073709551616, \"half\": 0.5, \"d\": 1.0,"
      " \"e\": 1e39, \"s\": \"text\", \"t\": true, \"f\": false, \"z\": null, \"o\": {\"a\": 1}, \"a\": [1, 2]}");
  document.SetFloat("one", 0.25f, true);
  document.SetFloat("max", FLT_MAX, false);
  document.SetDouble("bound", -3.4028234e38, false);
  document.SetInt("five", 5, false);
  const struct {
    const char* name;
    int integer;
    double number;
    const char* text;
    bool flag;
    unsigned count;
    const char* kinds;  // I(nt) D(ouble) F(loat) S(tring) B(ool) O(bject) A(rray)
  } table[] = {
      {"one", 0, 0.25, nullptr, false, 0, "DF"},
      {"neg", -2147483647 - 1, -2147483648.0, nullptr, false, 0, "I"},
      {"u", -294967296, 4000000000.0, nullptr, false, 0, ""},
      {"big", 705032704, 5000000000.0, nullptr, false, 0, ""},
      {"low", -705032704, -5000000000.0, nullptr, false, 0, ""},
      {"huge", -1, 18446744073709551615.0, nullptr, false, 0, ""},
      {"beyond", 0, 18446744073709551616.0, nullptr, false, 0, "DF"},
      {"half", 0, 0.5, nullptr, false, 0, "DF"},
      {"d", 0, 1.0, nullptr, false, 0, "DF"},
      {"e", 0, 1e39, nullptr, false, 0, "D"},
      {"max", 0, FLT_MAX, nullptr, false, 0, "D"},
      {"bound", 0, -3.4028234e38, nullptr, false, 0, "DF"},
      {"five", 5, 5.0, nullptr, false, 0, "I"},
      {"s", 0, 0.0, "text", false, 0, "S"},
      {"t", 0, 0.0, nullptr, true, 0, "B"},
      {"f", 0, 0.0, nullptr, false, 0, "B"},
      {"z", 0, 0.0, nullptr, false, 0, ""},
      {"o", 0, 0.0, nullptr, false, 1, "O"},
      {"a", 0, 0.0, nullptr, false, 2, "A"},
      {nullptr, 0, 0.0, nullptr, false, 0, ""},  // a member of a member that is not there
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.name);
    SObject_Exp& node = row.name ? document[row.name] : document["x"]["b"];
    EXPECT_EQ(node.IsExist(), row.name != nullptr);
    EXPECT_STREQ(node.GetName(), row.name);
    EXPECT_EQ(node.GetInt(), row.integer);
    EXPECT_EQ(node.GetDouble(), row.number);
    if (row.number <= FLT_MAX && row.number >= -FLT_MAX) {  // a float holds it
      EXPECT_EQ(node.GetFloat(), static_cast<float>(row.number));
    }
    EXPECT_STREQ(node.GetString(), row.text);
    EXPECT_EQ(node.GetBool(), row.flag);
    EXPECT_EQ(node.GetMemberCount(), row.count);
    const std::string kinds = std::string(node.IsInt() ? "I" : "") + (node.IsDouble() ? "D" : "") +
                              (node.IsFloat() ? "F" : "") + (node.IsString() ? "S" : "") + (node.IsBool() ? "B" : "") +
                              (node.IsObject() ? "O" : "") + (node.IsArray() ? "A" : "");
    EXPECT_EQ(kinds, row.kinds);
  }
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
  one.SetInt("z", 1, false);
  EXPECT_TRUE(two.HasMember("z"));
  EXPECT_EQ(two["z"].GetInt(), 1);
  // Handles that do not exist are distinct too: a caller may assign to its own.
  SObject_Exp& none = (*document)["none"];
  SObject_Exp& other = (*document)["none"];
  none = one;
  EXPECT_TRUE(none.HasMember("z"));
  EXPECT_FALSE(other.IsExist());
  EXPECT_FALSE((*document)["none"].IsExist());

  SObject_Exp& text = one["s"];
  delete document;
  EXPECT_STREQ(text.GetString(), "kept");
  two.SetBool("after", true, false);  // the path and the tree live on
  EXPECT_EQ(readFile("configs\\h.json"),
            "{\n    \"a\": {\n        \"s\": \"kept\",\n        \"z\": 1,\n        \"after\": true\n    }\n}");
}

// A zero-filled document, as an add-on lays it out before construction, behaves as one that does not exist.
TEST_F(NodeHandles, ZeroFilledDocument) {
  CJSON_Exp& document = *static_cast<CJSON_Exp*>(::operator new(sizeof(CJSON_Exp)));
  document.__autoclassinit2(sizeof document);
  EXPECT_FALSE(document.IsExist());
  EXPECT_FALSE(document["a"].IsExist());
  EXPECT_EQ(document.GetMemberCount(), 0u);
  document.SetInt("a", 1, false);
  document.Clear();
  EXPECT_TRUE(namesIn(".").empty());
  ::operator delete(&document);
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
    EXPECT_FALSE(node.HasMember("x"));
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

#ifndef _WIN32  // the same code on every platform; 32-bit Wine under qemu ends a process that starts a thread
// Look-ups take no lock: threads looking up in one shared document and in documents of their own all
// read exact values through handles that are all distinct.
TEST_F(NodeHandles, LookUpsFromSeveralThreads) {
  const int kThreads = 4, kRounds = 100000, kKeys = 64;
  std::string text = "{";
  for (int key = 0; key < kKeys; ++key)
    text += (key ? ", \"k" : "\"k") + std::to_string(key) + "\": " + std::to_string(key);
  CJSON_Exp& shared = load((text + "}").c_str());
  CJSON_Exp* own[kThreads];
  for (int i = 0; i < kThreads; ++i) own[i] = &load(("[" + std::to_string(1000 * i) + "]").c_str());
  std::vector<std::string> keys;
  for (int key = 0; key < kKeys; ++key) keys.push_back("k" + std::to_string(key));

  std::vector<SObject_Exp*> handles[kThreads];
  int wrong[kThreads] = {};
  std::vector<std::thread> threads;
  std::atomic<int> starting{kThreads};
  for (int i = 0; i < kThreads; ++i) {
    handles[i].reserve(2 * kRounds);
    threads.emplace_back([&, i] {
      // The threads start together (for a minute at most), so that their look-ups overlap on a busy machine.
      --starting;
      auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
      while (starting > 0 && std::chrono::steady_clock::now() < limit) std::this_thread::yield();
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
#endif

}  // namespace
