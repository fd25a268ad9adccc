// Corvane add-on interface: handles to values inside a JSON document.
#pragma once

struct NodeRecord;

// One pointer to the record of a value inside a document. Handles are returned by reference and are
// never released, each look-up giving a new one; every modifying call rewrites the document's whole
// file. A call that does not fit the value's kind (a look-up by name on an array, an append to an
// object, an index out of range) changes nothing and reads as 0, 0.0, false, null or a handle that
// does not exist; so does a call that memory cannot serve. Doubles that are NaN or infinite are stored
// as null. Names and strings passed in are referenced, not copied.
struct SObject_Exp {
  SObject_Exp& operator=(SObject_Exp& other);
  SObject_Exp& operator=(void* record);
  SObject_Exp& operator[](const char* name);
  SObject_Exp& operator[](int index);

  void Clear();
  void Clear(const char* name);
  void Clear(int index);
  void Clear(int first, int last);

  bool GetBool();
  double GetDouble();
  float GetFloat();
  int GetInt();
  char* GetString();
  char* GetName();
  unsigned int GetMemberCount();
  bool HasMember(const char* name);

  bool IsArray();
  bool IsBool();
  bool IsDouble();
  bool IsExist();
  bool IsFloat();
  bool IsInt();
  bool IsObject();
  bool IsString();

  SObject_Exp& PushBackArray();
  void PushBackBool(bool value);
  void PushBackDouble(double value);
  void PushBackFloat(float value);
  void PushBackInt(int value);
  SObject_Exp& PushBackObject();
  void PushBackString(const char* value);

  SObject_Exp& SetArray(const char* name);
  void SetBool(const char* name, bool value, bool overwrite);
  void SetDouble(const char* name, double value, bool overwrite);
  void SetFloat(const char* name, float value, bool overwrite);
  void SetInt(const char* name, int value, bool overwrite);
  SObject_Exp& SetObject(const char* name);
  void SetString(const char* name, const char* value, bool overwrite);

  NodeRecord* record;
};
