// Corvane add-on interface: JSON documents bound to files under .\configs\.
#pragma once

#include "SObject_Exp.h"

// One pointer to the document's record. The document is read once, when constructed, and its file is
// rewritten whole by every modifying call. Destroying the object releases nothing: the record (which
// assignment shares with other objects), the tree and every handle got from it stay valid for the rest
// of the process.
class CJSON_Exp {
public:
  // Opens .\configs\ + name (creating the folder "Configs"); with create true a missing file is made.
  CJSON_Exp(const char* name, bool create);
  ~CJSON_Exp();
  CJSON_Exp& operator=(const CJSON_Exp& other);

  SObject_Exp& operator[](const char* name);
  SObject_Exp& operator[](int index);

  void Clear();
  void Clear(const char* name);
  void Clear(int index);
  void Clear(int first, int last);

  unsigned int GetMemberCount();
  bool HasMember(const char* name);
  bool IsArray();
  bool IsExist();
  bool IsObject();

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

  void __autoclassinit2(unsigned int size);

  NodeRecord* record;
};
