// Binding to Corvane.exe: the process's own executable, and every name bound at load time (the export
// table itself: exports_table, on the host).
#include "CJSON_Exp.h"
#include "CRedirector.h"
#include "Checks.h"
#include "CmdLine.h"
#include "patch.h"
#include "Report.h"

#include <string.h>

namespace {

typedef CJSON_Exp J;
typedef SObject_Exp S;

template <typename Member>
const void* code(Member member) {
  const void* address;
  memcpy(&address, &member, sizeof address);
  return address;
}

// Takes the addresses of the functions given, which makes the add-on bind them at load time.
template <typename... Members>
void take(Members... members) {
  const void* const volatile taken[] = {code(members)...};
  (void)taken;
}

}  // namespace

void checkBindings(HINSTANCE self) {
  HINSTANCE exe = GetModuleHandleA(nullptr);
  static char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(exe, path, sizeof path);
  checkText("GetModuleHandleA(NULL) is Corvane.exe", "Corvane.exe", length >= 11 ? path + length - 11 : path);
  checkTrue("the add-on is not the executable", self != exe);

  // The names that no check calls, taken all the same: a Microsoft-built add-on binds every name it
  // takes at load time through Corvane.lib, and this one binds all 99 (RedirectorChecks counts them).
  take(static_cast<S& (S::*)(S&)>(&S::operator=), static_cast<S& (S::*)(void*)>(&S::operator=),
       static_cast<S& (S::*)(const char*)>(&S::operator[]), static_cast<void (J::*)()>(&J::Clear),
       static_cast<void (J::*)(int)>(&J::Clear), static_cast<void (J::*)(int, int)>(&J::Clear),
       static_cast<void (S::*)()>(&S::Clear), static_cast<void (S::*)(int)>(&S::Clear),
       static_cast<void (S::*)(int, int)>(&S::Clear), static_cast<void (S::*)(const char*)>(&S::Clear),
       &J::GetMemberCount, &S::GetMemberCount, &S::GetName, &S::GetString, &J::HasMember, &S::HasMember, &J::IsArray,
       &S::IsArray, &S::IsExist, &S::IsFloat, &S::IsInt, &J::IsObject, &S::IsObject, &S::IsString, &J::PushBackArray,
       &S::PushBackArray, &J::PushBackBool, &S::PushBackBool, &S::PushBackDouble, &J::PushBackDouble, &J::PushBackFloat,
       &S::PushBackFloat, &J::PushBackInt, &S::PushBackInt, &J::PushBackObject, &S::PushBackObject, &J::PushBackString,
       &S::PushBackString, &S::SetArray, &J::SetBool, &S::SetBool, &J::SetDouble, &S::SetDouble, &J::SetFloat,
       &S::SetFloat, &S::SetInt, &J::SetObject, &S::SetObject, &J::SetString, &S::SetString, &J::__autoclassinit2,
       static_cast<CRedirector& (CRedirector::*)(CRedirector &&)>(&CRedirector::operator=),
       &CRedirector::__autoclassinit2, &CmdLine::GetInt,
       static_cast<bool (*)(void*, const void*, unsigned int)>(&patch),
       static_cast<bool (*)(unsigned int, unsigned int, unsigned int)>(&patch));
}
