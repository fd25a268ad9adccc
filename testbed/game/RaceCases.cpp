// The scripted race runs: each race site and raw block entered with chosen inputs, one line per case.
#include "testbed/game/RaceCases.h"

#include "testbed/game/AddressInfo.h"
#include "testbed/game/RaceDriver.h"
#include "testbed/game/Report.h"

#include <cstdio>
#include <cstring>
#include <vector>

using namespace GameReport;

namespace {
enum class Reg { None, Eax, Ecx, Edx };
enum class Inputs { Numbers, Indexes, Gate };

struct Site {
  const char* key;  // report key prefix
  uint32_t entry;   // RVA entered by a jump
  Reg input;        // register that takes the case's value
  Reg text;         // register that leaves with a text, if any
  Inputs inputs;
  uint32_t slotKind;  // EDX at entry for the race slot block (else the pattern)
};

const Site kSites[] = {
    {"race.key", kEntryKey, Reg::Eax, Reg::Ecx, Inputs::Numbers, kInEdx},
    {"race.skin", kEntrySkin, Reg::Eax, Reg::Edx, Inputs::Numbers, kInEdx},
    {"race.select", kEntrySelect, Reg::Eax, Reg::Edx, Inputs::Indexes, kInEdx},
    {"race.clamp", kEntryClamp, Reg::Eax, Reg::Ecx, Inputs::Indexes, kInEdx},
    {"race.call", kEntryCall, Reg::Ecx, Reg::Eax, Inputs::Numbers, kInEdx},
    {"race.number", kEntryNumber, Reg::Eax, Reg::None, Inputs::Numbers, kInEdx},
    {"race.slot", kEntrySlot, Reg::Eax, Reg::None, Inputs::Numbers, kInEdx},
    {"race.slot12", kEntrySlot, Reg::Eax, Reg::None, Inputs::Numbers, kSlotKind12},
    {"race.pick", kEntryPick, Reg::Ecx, Reg::None, Inputs::Numbers, kInEdx},
    {"race.swap", kEntrySwap, Reg::Eax, Reg::None, Inputs::Numbers, kInEdx},
    {"race.limit", kEntryLimit, Reg::Eax, Reg::None, Inputs::Numbers, kInEdx},
    {"race.cap", kEntryCap, Reg::Eax, Reg::None, Inputs::Numbers, kInEdx},
    {"race.count", kEntryCount, Reg::Eax, Reg::None, Inputs::Numbers, kInEdx},
    {"race.decode", kEntryDecode, Reg::Ecx, Reg::None, Inputs::Numbers, kInEdx},
    {"gate.4E3BFA", kEntryGateA, Reg::Eax, Reg::None, Inputs::Gate, kInEdx},
    {"gate.59B3E4", kEntryGateB, Reg::Eax, Reg::None, Inputs::Gate, kInEdx},
};

// What a capture point's code did to the stack: one word pushed (which), or one frame word
// replaced by the outgoing EAX. Capture points not listed leave the stack as they found it.
enum class StackRule { Kept, PushIncomingEsi, PushOutgoingEax, FrameWord1IsEax, FrameWord2IsEax };
struct ExitRule {
  uint32_t exit;
  StackRule rule;
};
const ExitRule kExitRules[] = {
    {kExitKey, StackRule::PushIncomingEsi},      {kExitSelectOut, StackRule::PushIncomingEsi},
    {kExitNumber, StackRule::PushOutgoingEax},   {kExitSwapLauncher, StackRule::PushIncomingEsi},
    {kExitSwapGame, StackRule::PushIncomingEsi}, {kExitSlotLauncher, StackRule::FrameWord1IsEax},
    {kExitSlotGame, StackRule::FrameWord2IsEax},
};

// The player record that race.slot reads through ECX.
uint32_t gPlayerRecord[0x200 / 4];

void addUnique(std::vector<uint32_t>& values, uint32_t value) {
  for (uint32_t v : values)
    if (v == value) return;
  values.push_back(value);
}

std::vector<uint32_t> inputsFor(Inputs kind, uint32_t n) {
  std::vector<uint32_t> values;
  if (kind == Inputs::Gate) {
    for (uint32_t v : {0u, 1u, 0xFFFFFFFFu}) addUnique(values, v);
  } else if (kind == Inputs::Indexes) {
    for (uint32_t v : {0u, 1u, 2u, 3u, 4u, n - 1, n, 0xFFFFFFFFu}) addUnique(values, v);
  } else {
    for (uint32_t v : {0u, 1u, 2u, 3u, 4u, 5u, n, n + 1, 99u, 100u, 101u, 100 + n, 104u, 105u, 200u, 0xFFFFFFFFu})
      addUnique(values, v);
  }
  return values;
}

uint32_t& regOf(RaceRegisters& regs, Reg reg) {
  if (reg == Reg::Ecx) return regs.ecx;
  if (reg == Reg::Edx) return regs.edx;
  return regs.eax;
}

StackRule ruleFor(uint32_t exit) {
  for (const ExitRule& r : kExitRules)
    if (r.exit == exit) return r.rule;
  return StackRule::Kept;
}

// Checks the stack at the capture point against the rule of the point reached.
bool stackAsExpected(const RaceEntry& entry, const RaceExit& seen, StackRule rule) {
  uint32_t pushes = (rule == StackRule::PushIncomingEsi || rule == StackRule::PushOutgoingEax) ? 1 : 0;
  if (seen.esp + 4 * pushes != seen.entryEsp) return false;
  if (rule == StackRule::PushIncomingEsi && seen.words[0] != entry.in.esi) return false;
  if (rule == StackRule::PushOutgoingEax && seen.words[0] != seen.out.eax) return false;
  for (uint32_t i = 0; i < 4; ++i) {
    uint32_t expected = entry.frame[i];
    if (i == 1 && rule == StackRule::FrameWord1IsEax) expected = seen.out.eax;
    if (i == 2 && rule == StackRule::FrameWord2IsEax) expected = seen.out.eax;
    if (seen.words[pushes + i] != expected) return false;
  }
  return true;
}

// The text at the site's output register when that register changed, with where it lies; "-" else.
std::string textRead(const Site& site, const RaceEntry& entry, const RaceExit& seen, HMODULE game,
                     std::string* source) {
  if (source) *source = "-";
  if (site.text == Reg::None) return "-";
  RaceRegisters in = entry.in, out = seen.out;
  uint32_t value = regOf(out, site.text);
  if (value == regOf(in, site.text)) return "-";
  if (source) *source = sourceOf(value, game);
  return textAt(value);
}

std::string caseLine(const Site& site, const RaceEntry& entry, const RaceExit& seen, HMODULE game) {
  const DWORD base = (DWORD)game;
  uint32_t exit = seen.returnAddress - 5 - base;
  std::string source;
  std::string text = textRead(site, entry, seen, game, &source);
  char line[400];
  snprintf(line, sizeof line,
           " src=%s at=%lX eax=%08lX ecx=%08lX edx=%08lX ebx=%08lX esi=%08lX edi=%08lX ebp=%08lX"
           " esp=%ld stack=%s",
           source.c_str(), (unsigned long)exit, (unsigned long)seen.out.eax, (unsigned long)seen.out.ecx,
           (unsigned long)seen.out.edx, (unsigned long)seen.out.ebx, (unsigned long)seen.out.esi,
           (unsigned long)seen.out.edi, (unsigned long)seen.out.ebp, (long)((int32_t)(seen.esp - seen.entryEsp)),
           stackAsExpected(entry, seen, ruleFor(exit)) ? "ok" : "bad");
  return text + line;
}
}  // namespace

std::vector<SceneRace> reportRaces(ReportWriter& report, HMODULE game) {
  const DWORD base = (DWORD)game;
  uint32_t n = *((const unsigned char*)base + kRaceCountByte);
  std::vector<SceneRace> races(n + 1);
  for (uint32_t number = 0; number <= n; ++number) races[number].number = number;
  report.put("race.count", std::to_string(n));
  gPlayerRecord[0x1A0 / 4] = kRecordWord1A0;
  gPlayerRecord[0x1A4 / 4] = kRecordWord1A4;

  for (const Site& site : kSites) {
    for (uint32_t value : inputsFor(site.inputs, n)) {
      RaceEntry entry;
      entry.address = base + site.entry;
      entry.in = {kInEax, kInEcx, site.slotKind, kInEbx, kInEsi, kInEdi, kInEbp};
      if (site.entry == kEntrySlot) entry.in.ecx = (uint32_t)(DWORD)gPlayerRecord;
      regOf(entry.in, site.input) = value;
      memcpy(entry.frame, kFrame, sizeof entry.frame);
      memset(&gRaceSeen, 0, sizeof gRaceSeen);
      raceRun(&entry);
      report.put(std::string(site.key) + "." + std::to_string(value), caseLine(site, entry, gRaceSeen, game));
      if (value <= n && site.entry == kEntryKey) races[value].key = textRead(site, entry, gRaceSeen, game, nullptr);
      if (value <= n && site.entry == kEntrySkin) races[value].skin = textRead(site, entry, gRaceSeen, game, nullptr);
    }
  }
  races.push_back(races.front());  // the random race last, as the game lists it
  races.erase(races.begin());
  return races;
}
