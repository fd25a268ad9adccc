// Documents and their files: construction, loading and the text written.
#include "CJSON_Exp.h"
#include "json/Document.h"
#include "json/NodeRecord.h"
#include "OpenDocument.h"
#include "support/TempFolder.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <cfloat>
#include <cmath>
#include <string>

namespace {

class DocumentFile : public TempFolderTest {};

#ifdef _WIN32  // needs Windows' folder names
// Names that give no document: a missing file without create (only the folder is made), a folder inside
// the name (never made, even with create), a null name.
TEST_F(DocumentFile, NamesThatGiveNoDocument) {
  const struct {
    const char* name;
    bool create;
  } names[] = {{"a.json", false}, {"sub\\a.json", true}, {nullptr, true}};
  for (const auto& given : names) {
    SCOPED_TRACE(given.name ? given.name : "null");
    CJSON_Exp document(given.name, given.create);
    EXPECT_FALSE(document.IsExist());
    EXPECT_FALSE(document.IsObject());
  }
  EXPECT_FALSE(openDocument(nullptr, true).IsExist());
  EXPECT_FALSE(openDocument("missing.json", false).IsExist());
  EXPECT_EQ(namesIn("."), std::vector<std::string>{"Configs"});
  EXPECT_TRUE(namesIn("configs").empty());
}
#endif

TEST_F(DocumentFile, ConstructorWithCreateMakesAnEmptyFileWrittenAtTheFirstChange) {
  CJSON_Exp document("a.json", true);
  ASSERT_TRUE(fileExists("configs\\a.json"));
  EXPECT_EQ(readFile("configs\\a.json"), "");
  EXPECT_TRUE(document.IsExist());
  EXPECT_TRUE(document.IsObject());
  EXPECT_FALSE(document.IsArray());
  EXPECT_EQ(document.GetMemberCount(), 0u);

  document.SetInt("x", 1, false);
  EXPECT_EQ(readFile("configs\\a.json"), "{\n    \"x\": 1\n}");
  EXPECT_EQ(namesIn("configs"), std::vector<std::string>{"a.json"});
}

TEST_F(DocumentFile, RejectedTextsLoadAsAnEmptyObjectAndStayOnDiskUntilTheFirstChange) {
  const char* const texts[] = {
      "\xEF\xBB\xBF{\"a\": 1}",  // byte-order mark
      "{\"a\": 1} // note",      // comment
      "{\"a\": 1,}",             // trailing comma
      "{\"a\": NaN}",
      "{'a': 1}",                     // single quotes
      "{\"a\": 1} {}",                // a second root
      "{\"a\": 1}\f",                 // only space, tab, line feed and carriage return may follow
      "{\"a\": \"x\ty\"}",            // raw control byte inside a string
      "{\"a\": \"\\ud800\"}",         // high surrogate alone
      "{\"a\": \"\\ud800\\u0041\"}",  // high surrogate followed by something else
      "{\"a\": 1e400}",               // beyond the largest double
      "{\"a\": 1.8e308}",             // beyond it too, though the reader's arithmetic makes it infinity
      "[1e2147483648]",               // exponents past the range of int
      "[-12.5e2147483647]",
      "{\"a\": 1",  // unfinished
      "",
      "5",
      "null",  // roots that are not containers
  };
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    writeFile("t.json", text);
    CJSON_Exp& document = openDocument("t.json", false);
    EXPECT_TRUE(document.IsExist());
    EXPECT_TRUE(document.IsObject());
    EXPECT_EQ(document.GetMemberCount(), 0u);
    EXPECT_EQ(readFile("t.json"), text);
    document.SetInt("b", 2, false);
    EXPECT_EQ(readFile("t.json"), "{\n    \"b\": 2\n}");
  }
}

TEST_F(DocumentFile, AcceptedTexts) {
  writeFile("t.json", " \t\r\n[1,\r\n\t2] \r\n\t");
  CJSON_Exp& array = openDocument("t.json", false);
  EXPECT_TRUE(array.IsArray());
  EXPECT_FALSE(array.IsObject());
  EXPECT_EQ(array.GetMemberCount(), 2u);
  array.PushBackInt(3);
  EXPECT_EQ(readFile("t.json"), "[\n    1,\n    2,\n    3\n]");

  // The largest double itself is a number like any other.
  writeFile("t.json", "[1.7976931348623157e308, -1.7976931348623157e308]");
  CJSON_Exp& largest = openDocument("t.json", false);
  ASSERT_EQ(largest.GetMemberCount(), 2u);
  EXPECT_EQ(largest[0].GetDouble(), DBL_MAX);
  EXPECT_EQ(largest[1].GetDouble(), -DBL_MAX);

  // Nesting 100,000 deep loads: the parser does not recurse.
  writeFile("t.json", std::string(100000, '[') + std::string(100000, ']'));
  EXPECT_EQ(openDocument("t.json", false)[0][0][0].GetMemberCount(), 1u);

  // Exponents far below the range of int read as zero (or the nearest double), with their sign.
  writeFile("t.json",
            "[0, 1.797250737880552014e-21474836384, 1e-2147483648, 1e-2147483649, -5e-99999999999,"
            " 0.5e-2147483639, 123.456e-3000000000, 4.9406564584124654e-324]");
  openDocument("t.json", false).Clear("none");
  EXPECT_EQ(readFile("t.json"),
            "[\n    0,\n    0.0,\n    0.0,\n    0.0,\n    -0.0,\n    0.0,\n    0.0,\n    5e-324\n]");

  // Escapes become UTF-8, other bytes are taken as they stand, and duplicate names are all kept.
  writeFile("t.json",
            "{\"e\": \"\\u00e9\\ud83d\\ude00\\/\\b\\f\\n\\r\\t\\\"\\\\\", \"raw\": \"\xFF\xC3\xA9\","
            " \"d\": 1, \"d\": 2}");
  CJSON_Exp& object = openDocument("t.json", false);
  EXPECT_STREQ(object["e"].GetString(), "\xC3\xA9\xF0\x9F\x98\x80/\b\f\n\r\t\"\\");
  EXPECT_STREQ(object["raw"].GetString(), "\xFF\xC3\xA9");
  EXPECT_EQ(object.GetMemberCount(), 4u);
  EXPECT_EQ(object["d"].GetInt(), 1);
  object.SetInt("d", 3, true);  // replaces the first only
  EXPECT_EQ(readFile("t.json"),
            "{\n    \"e\": \"\xC3\xA9\xF0\x9F\x98\x80/\\b\\f\\n\\r\\t\\\"\\\\\",\n"
            "    \"raw\": \"\xFF\xC3\xA9\",\n    \"d\": 3,\n    \"d\": 2\n}");
}

// Each value as the writer writes it: strings escaped where JSON needs it and other bytes as they stand;
// doubles shortest, with ".0" on whole ones below 1e21; floats widened; numbers that are not finite as null.
TEST_F(DocumentFile, TextWritten) {
  CJSON_Exp& document = openDocument("w.json", true);
  char control[] =
      "a\tb\x01"
      "c\x1F\x7F\x80\xFF/\"\\\b\f\n\r";
  document.SetString("s", control, false);
  std::string expected = "{\n    \"s\": \"a\\tb\\u0001c\\u001F\x7F\x80\xFF/\\\"\\\\\\b\\f\\n\\r\"";
  const struct {
    const char* name;
    double number;
    bool single;  // set with SetFloat
    const char* text;
  } numbers[] = {
      {"f0.1", 0.1, true, "0.10000000149011612"},
      {"one", 1.0, false, "1.0"},
      {"tiny", 1e-7, false, "1e-7"},
      {"below", 9.99e-7, false, "9.99e-7"},
      {"1e20", 1e20, false, "100000000000000000000.0"},
      {"1e21", 1e21, false, "1e21"},
      {"minus", -0.0, false, "-0.0"},
      {"max", DBL_MAX, false, "1.7976931348623157e308"},
      {"nan", NAN, false, "null"},
      {"finf", -INFINITY, true, "null"},
  };
  for (const auto& row : numbers) {
    if (row.single) document.SetFloat(row.name, static_cast<float>(row.number), false);
    else document.SetDouble(row.name, row.number, false);
    expected += std::string(",\n    \"") + row.name + "\": " + row.text;
  }
  document.SetInt("int", -2147483647 - 1, false);
  document.SetBool("no", false, false);
  document.SetObject("empty");
  document.SetArray("list").PushBackArray();
  SObject_Exp& nested = document.SetObject("nested");
  nested.SetArray("a").PushBackObject().SetBool("b", true, false);
  nested.SetObject("o").SetString("k", "v", false);
  expected +=
      ",\n    \"int\": -2147483648,\n    \"no\": false,\n    \"empty\": {},\n"
      "    \"list\": [\n        []\n    ],\n"
      "    \"nested\": {\n        \"a\": [\n            {\n                \"b\": true\n            }\n        ],\n"
      "        \"o\": {\n            \"k\": \"v\"\n        }\n    }\n}";
  EXPECT_EQ(readFile("w.json"), expected);
  EXPECT_FALSE(document["nan"].IsDouble());
  EXPECT_EQ(document["finf"].GetDouble(), 0.0);
}

#ifdef _WIN32
TEST_F(DocumentFile, WriteBackFollowsTheCurrentFolder) {
  CJSON_Exp document("a.json", true);
  document.SetInt("x", 1, false);
  ASSERT_TRUE(CreateDirectoryA("other", nullptr));
  ASSERT_TRUE(CreateDirectoryA("other\\Configs", nullptr));
  ASSERT_TRUE(SetCurrentDirectoryA("other"));
  document.SetInt("y", 2, false);
  ASSERT_TRUE(SetCurrentDirectoryA(".."));
  EXPECT_EQ(readFile("configs\\a.json"), "{\n    \"x\": 1\n}");
  EXPECT_EQ(readFile("other\\configs\\a.json"), "{\n    \"x\": 1,\n    \"y\": 2\n}");
}

TEST_F(DocumentFile, ExistingFileThatCannotBeReadIsNeverTruncated) {
  writeFile("held.json", "{\"kept\": true}");
  // Another process holds the file so that it may be written but not read.
  HANDLE holder =
      CreateFileA("held.json", GENERIC_READ, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  CJSON_Exp& document = openDocument("held.json", true);
  EXPECT_FALSE(document.IsExist());
  CloseHandle(holder);
  EXPECT_EQ(readFile("held.json"), "{\"kept\": true}");
}
#endif

}  // namespace
