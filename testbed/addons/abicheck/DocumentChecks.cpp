// Documents with an object root under .\configs\, through the CJSON_Exp and SObject_Exp names: files,
// values, handles, assignments, the shared entry points and the object's own storage.
#include "CJSON_Exp.h"
#include "Checks.h"
#include "Report.h"

#include <stdio.h>
#include <string.h>

namespace {

const char kPath[] = ".\\configs\\abicheck.json";
// Names and values passed in are referenced by the tree, so handles give back these very pointers.
const char kX[] = "x";
const char kName[] = "Corvane";
const char kList[] = "list";

void checkMissingDocument() {
  remove(".\\configs\\abicheck-missing.json");
  CJSON_Exp missing("abicheck-missing.json", false);
  checkTrue("CJSON_Exp(name, false) of a missing file: IsExist false", !missing.IsExist());
  checkNoFile("CJSON_Exp(name, false) creates no file", ".\\configs\\abicheck-missing.json");
  checkTrue("CJSON_Exp makes the folder Configs", folderExists(".\\Configs"));
  checkNumber("missing document: GetMemberCount", 0, missing.GetMemberCount());
  checkTrue("missing document: IsObject false", !missing.IsObject());
  missing.SetInt("x", 1, true);
  checkNoFile("missing document: SetInt writes nothing", ".\\configs\\abicheck-missing.json");
  checkTrue("missing document: operator[] gives a handle that does not exist", !missing["x"].IsExist());
}  // ~CJSON_Exp of a document that does not exist

void checkReads(CJSON_Exp& doc) {
  SObject_Exp& x = doc[kX];
  checkPointer("GetName is the pointer passed to operator[]", kX, x.GetName());
  checkNumber("GetInt", 3, x.GetInt());
  checkTrue("IsInt of an integer", x.IsInt());
  checkTrue("IsDouble of an integer is false", !x.IsDouble());
  checkTrue("IsFloat of an integer is false", !x.IsFloat());
  checkDouble("GetDouble of the integer 3", 3.0, x.GetDouble());
  checkTrue("GetBool of the number 3 is false", !x.GetBool());
  checkTrue("IsString, IsBool, IsObject, IsArray of an integer are false",
            !x.IsString() && !x.IsBool() && !x.IsObject() && !x.IsArray());
  SObject_Exp& ratio = doc["ratio"];
  checkDouble("GetDouble (x87 return)", 0.25, ratio.GetDouble());
  checkDouble("GetFloat (x87 return)", 0.25, ratio.GetFloat());
  checkTrue("IsDouble and IsFloat of 0.25", ratio.IsDouble() && ratio.IsFloat() && !ratio.IsInt());
  checkPointer("GetString gives the caller's own pointer back", kName, doc["name"].GetString());
  checkTrue("IsString", doc["name"].IsString());
  checkTrue("GetBool and IsBool of true", doc["flag"].GetBool() && doc["flag"].IsBool());
  checkDouble("GetFloat of the float 0.5", 0.5, doc["half"].GetFloat());

  SObject_Exp& list = doc[5];
  checkTrue("CJSON_Exp::operator[](int) gives member 5, the list", list.IsArray());
  checkNumber("SObject_Exp::GetMemberCount of the list", 7, list.GetMemberCount());
  checkDouble("GetDouble of the element 7", 7.0, list[0].GetDouble());
  checkDouble("GetFloat of the element 2.5", 2.5, list[2].GetFloat());
  checkTrue("element 5 is an object, element 6 an array", list[5].IsObject() && list[6].IsArray());
  checkNumber("SObject_Exp::operator[](const char*) inside an element", 1, list[5]["k"].GetInt());
  checkTrue("operator[] at the count does not exist", !list[7].IsExist() && !doc[7].IsExist());
  checkTrue("operator[](-1) does not exist", !doc[-1].IsExist());
  checkTrue("CJSON_Exp::HasMember", doc.HasMember("obj") && !doc.HasMember("nope"));
  checkTrue("SObject_Exp::HasMember", doc["obj"].HasMember("a") && !doc["obj"].HasMember("x"));

  SObject_Exp& nope = doc["nope"];
  checkTrue("a missing member's handle does not exist", !nope.IsExist());
  checkNumber("missing handle: GetInt", 0, nope.GetInt());
  checkDouble("missing handle: GetDouble", 0.0, nope.GetDouble());
  checkDouble("missing handle: GetFloat", 0.0, nope.GetFloat());
  checkTrue("missing handle: GetBool", !nope.GetBool());
  checkText("missing handle: GetString", nullptr, nope.GetString());
  checkNumber("missing handle: GetMemberCount", 0, nope.GetMemberCount());
  checkTrue("missing handle: a look-up through it does not exist", !nope["x"].IsExist());
}

void checkAssignments(CJSON_Exp& doc) {
  SObject_Exp obj = {nullptr};
  SObject_Exp& assigned = (obj = doc["obj"]);
  checkPointer("SObject_Exp::operator=(SObject_Exp&) returns the assigned handle", &obj, &assigned);
  checkTrue("the assigned handle designates the object", obj.HasMember("a"));
  SObject_Exp root = {nullptr};
  SObject_Exp& fromRecord = (root = static_cast<void*>(doc.record));
  checkPointer("SObject_Exp::operator=(void*) returns the assigned handle", &root, &fromRecord);
  checkPointer("operator=(void*) stores the pointer", doc.record, root.record);
  checkNumber("a handle on the document's record sees the root", doc.GetMemberCount(), root.GetMemberCount());

  // The second document's record is replaced by the first's, so it must never be destroyed.
  static CJSON_Exp* second;
  alignas(4) static unsigned char storage[sizeof(CJSON_Exp)];
  second = new (Place(), storage) CJSON_Exp("abicheck-second.json", true);
  CJSON_Exp& sameDocument = (*second = doc);
  checkPointer("CJSON_Exp::operator= returns the assigned document", second, &sameDocument);
  checkPointer("CJSON_Exp::operator= shares the record", doc.record, second->record);
  checkNumber("the assigned document reads the first one's tree", 3, (*second)["x"].GetInt());
}

}  // namespace

void checkDocuments() {
  checkMissingDocument();
  remove(kPath);

  // The object lives in storage of the add-on between two guards that nothing may touch.
  alignas(4) unsigned char storage[12];
  memset(storage, 0xCC, sizeof storage);
  CJSON_Exp* doc = reinterpret_cast<CJSON_Exp*>(storage + 4);
  doc->__autoclassinit2(sizeof(CJSON_Exp));
  const unsigned char zeroed[12] = {0xCC, 0xCC, 0xCC, 0xCC, 0, 0, 0, 0, 0xCC, 0xCC, 0xCC, 0xCC};
  checkBytes("CJSON_Exp::__autoclassinit2(4) fills exactly the object with zeros", zeroed, 12, storage, 12);
  new (Place(), doc) CJSON_Exp("abicheck.json", true);
  checkTrue("the constructor stores a record", doc->record != nullptr);
  checkTrue("the constructor writes no byte outside the object",
            memcmp(storage, zeroed, 4) == 0 && memcmp(storage + 8, zeroed + 8, 4) == 0);
  checkFile("CJSON_Exp(name, true) creates an empty file", kPath, "");
  checkTrue("new document: IsExist, IsObject, not IsArray", doc->IsExist() && doc->IsObject() && !doc->IsArray());
  checkNumber("new document: GetMemberCount", 0, doc->GetMemberCount());

  doc->SetInt(kX, 1, false);
  checkFile("CJSON_Exp::SetInt writes the file", kPath, "{\n    \"x\": 1\n}");
  doc->SetInt(kX, 2, false);
  checkNumber("SetInt without overwrite keeps the value", 1, (*doc)[kX].GetInt());
  doc->SetInt(kX, 3, true);
  doc->SetString("name", kName, false);
  doc->SetString("name", "other", false);
  doc->SetDouble("ratio", 0.25, false);
  doc->SetFloat("half", 0.5f, false);
  doc->SetBool("flag", true, false);
  doc->SetBool("flag", false, false);
  checkFile("CJSON_Exp::SetString, SetDouble, SetFloat, SetBool", kPath,
            "{\n    \"x\": 3,\n    \"name\": \"Corvane\",\n    \"ratio\": 0.25,\n    \"half\": 0.5,\n"
            "    \"flag\": true\n}");

  SObject_Exp& list = doc->SetArray(kList);
  checkPointer("CJSON_Exp::SetArray's handle carries the name given", kList, list.GetName());
  list.PushBackInt(7);
  list.PushBackDouble(1.5);
  list.PushBackFloat(2.5f);
  list.PushBackBool(false);
  list.PushBackString("s");
  SObject_Exp& inner = list.PushBackObject();
  inner.SetInt("k", 1, false);
  SObject_Exp& innerList = list.PushBackArray();
  checkTrue("PushBackObject and PushBackArray give handles of the new values", inner.IsObject() && innerList.IsArray());
  checkText("PushBackObject's handle has no name", nullptr, inner.GetName());
  SObject_Exp& obj = doc->SetObject("obj");
  obj.SetInt("a", 1, false);
  checkTrue("CJSON_Exp::SetObject on an existing member gives that member", doc->SetObject("obj").HasMember("a"));
  checkFile("SObject_Exp::PushBack... and CJSON_Exp::SetObject", kPath,
            "{\n    \"x\": 3,\n    \"name\": \"Corvane\",\n    \"ratio\": 0.25,\n    \"half\": 0.5,\n"
            "    \"flag\": true,\n    \"list\": [\n        7,\n        1.5,\n        2.5,\n        false,\n"
            "        \"s\",\n        {\n            \"k\": 1\n        },\n        []\n    ],\n"
            "    \"obj\": {\n        \"a\": 1\n    }\n}");

  checkReads(*doc);
  checkAssignments(*doc);

  obj.SetString("c", "v", false);
  obj.SetBool("t", true, false);
  obj.SetDouble("d", 0.75, false);
  obj.SetFloat("f", 0.125f, false);
  checkTrue("SObject_Exp::SetArray and SetObject", obj.SetArray("e").IsArray() && obj.SetObject("g").IsObject());
  obj.SetInt("b", 2, false);
  obj.Clear("b");
  checkDouble("SObject_Exp::SetDouble then GetDouble", 0.75, obj["d"].GetDouble());
  checkDouble("SObject_Exp::SetFloat then GetFloat", 0.125, obj["f"].GetFloat());
  list.Clear(1, 3);
  list.Clear(3, 1);
  list.Clear(0);
  list[1].Clear();
  checkNumber("SObject_Exp::Clear(first, last) and Clear(index)", 3, list.GetMemberCount());
  doc->Clear("ratio");
  checkTrue("CJSON_Exp::Clear(name)", !doc->HasMember("ratio"));

  // Destroying the document releases its record only: handles into the tree keep working.
  SObject_Exp& objAgain = (*doc)["obj"];
  doc->~CJSON_Exp();
  checkNumber("a handle outlives its document", 1, objAgain["a"].GetInt());
  objAgain.SetInt("z", 4, false);
  checkFile("a handle writes the whole document after its destruction", kPath,
            "{\n    \"x\": 3,\n    \"name\": \"Corvane\",\n    \"half\": 0.5,\n    \"flag\": true,\n"
            "    \"list\": [\n        \"s\",\n        {},\n        []\n    ],\n    \"obj\": {\n"
            "        \"a\": 1,\n        \"c\": \"v\",\n        \"t\": true,\n        \"d\": 0.75,\n"
            "        \"f\": 0.125,\n        \"e\": [],\n        \"g\": {},\n        \"z\": 4\n    }\n}");

  CJSON_Exp cleared("abicheck-clear.json", true);
  cleared.SetInt("a", 1, false);
  cleared.SetInt("b", 2, false);
  cleared.Clear();
  checkFile("CJSON_Exp::Clear() empties the root", ".\\configs\\abicheck-clear.json", "{}");
}
