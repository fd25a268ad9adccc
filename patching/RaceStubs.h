// The race stubs (RaceStubs.S) and the globals they read, shared with the installer (RacePatches.cpp).
#pragma once

// C linkage: the stubs are hand-written assembly and refer to these functions and globals by their plain
// names.
extern "C" {

// The race lists' entries, read by the stubs; index must be below the list's size. Plain cdecl
// functions: they may change EAX, ECX, EDX and the flags, and keep EBX, ESI, EDI and EBP.
const char* raceKeyAt(unsigned int index);
const char* raceSkinAt(unsigned int index);

// Entered from the game's code by a jump written over it; each ends with a jump to its resume address.
void raceKeyStub();         // EAX = race number          -> ECX = race key
void raceSkinStub();        // EAX = race number (+100)   -> EDX = skin name
void raceSkinSelectStub();  // EAX = zero-based index     -> EDX = skin name, or the out-of-range resume
void raceSkinClampStub();   // EAX = zero-based index     -> ECX = skin name, entry 0 when out of range
void raceNumberStub();      // EAX = race number (+100)   -> EAX without the offset, pushed; ECX = EBP
// Entered by a call written over the game's code; returns.
void raceSkinCall();  // ECX = race number          -> EAX = skin name

// Fixed at installation; the stubs compare unsigned against them.
extern unsigned int gRaceSkinCount;
extern unsigned int gRaceKeyCount;

// Absolute addresses in the game module where the stubs continue.
extern unsigned int gRaceKeyResume;
extern unsigned int gRaceSkinResume;
extern unsigned int gRaceSkinSelectResume;     // index in range
extern unsigned int gRaceSkinSelectOutResume;  // index out of range
extern unsigned int gRaceSkinClampResume;
extern unsigned int gRaceNumberResume;

// The texts of patching/RaceTexts.h, for race number 0 and for a number that names no race.
extern const char* const gRandomRaceKey;    // kRandomRaceKey
extern const char* const gDefaultRaceSkin;  // kDefaultRaceSkin
extern const char* const gUnknownRaceKey;   // kUnknownRaceKey
extern const char* const gUnknownRaceSkin;  // kUnknownRaceSkin
}
