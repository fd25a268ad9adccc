// A document with an array root read from a file of the add-on's own: number reads and kinds, and the
// CJSON_Exp names that append and remove elements.
#include "CJSON_Exp.h"
#include "Checks.h"
#include "Report.h"

namespace {

const char kPath[] = ".\\configs\\abicheck-array.json";
const float kLargestFloat = 3.40282346638528859812e+38f;

}  // namespace

void checkArrayDocument() {
  writeText(kPath, "[1, 4000000000, 5000000000, 1e39, \"t\", null, 1.0, 3000000000]");
  CJSON_Exp arr("abicheck-array.json", false);
  checkTrue("an existing file opens with create false", arr.IsExist());
  checkTrue("CJSON_Exp::IsArray and IsObject of an array root", arr.IsArray() && !arr.IsObject());
  checkNumber("CJSON_Exp::GetMemberCount of the array", 8, arr.GetMemberCount());
  checkTrue("IsInt of 1", arr[0].IsInt());
  checkNumber("GetInt of 4000000000 is its low 32 bits", -294967296, arr[1].GetInt());
  checkTrue("IsInt of 4000000000 is false", !arr[1].IsInt());
  checkNumber("GetInt of 5000000000 is its low 32 bits", 705032704, arr[2].GetInt());
  checkTrue("1e39 is a double but not a float", arr[3].IsDouble() && !arr[3].IsFloat());
  checkDouble("GetDouble of 1e39", 1e39, arr[3].GetDouble());
  checkText("GetString of a string element", "t", arr[4].GetString());
  checkTrue("null exists and is neither bool nor string", arr[5].IsExist() && !arr[5].IsBool() && !arr[5].IsString());
  checkText("GetString of null", nullptr, arr[5].GetString());
  checkTrue("1.0 from a file is a double and a float, not an int",
            arr[6].IsDouble() && arr[6].IsFloat() && !arr[6].IsInt());
  checkTrue("IsInt of 3000000000 is false", !arr[7].IsInt());

  arr.Clear(1, 7);
  checkFile("CJSON_Exp::Clear(first, last)", kPath, "[\n    1\n]");
  arr.PushBackFloat(kLargestFloat);
  checkTrue("the largest finite float is a double but not a float", arr[1].IsDouble() && !arr[1].IsFloat());
  arr.Clear(1);
  checkNumber("CJSON_Exp::Clear(index)", 1, arr.GetMemberCount());

  arr.PushBackInt(8);
  arr.PushBackDouble(0.1);
  arr.PushBackBool(true);
  arr.PushBackString("u");
  SObject_Exp& object = arr.PushBackObject();
  SObject_Exp& array = arr.PushBackArray();
  checkTrue("CJSON_Exp::PushBackObject and PushBackArray", object.IsObject() && array.IsArray());
  arr.SetInt("ignored", 9, false);
  arr.SetDouble(nullptr, 2.5, false);
  arr.SetFloat("n", 0.5f, false);
  arr.SetBool("n", false, false);
  arr.SetString("n", "w", false);
  checkTrue("CJSON_Exp::SetObject and SetArray on an array append",
            arr.SetObject("n").IsObject() && arr.SetArray("n").IsArray());
  checkDouble("PushBackDouble(0.1) reads back", 0.1, arr[2].GetDouble());
  checkFile("CJSON_Exp::PushBack... and Set... on an array root", kPath,
            "[\n    1,\n    8,\n    0.1,\n    true,\n    \"u\",\n    {},\n    [],\n    9,\n    2.5,\n"
            "    0.5,\n    false,\n    \"w\",\n    {},\n    []\n]");
  arr.Clear();
  checkFile("CJSON_Exp::Clear() on an array root", kPath, "[]");
}
