// What the game's race code reads for race number 0 and for a number that names no race. A race that
// names no skin or key of its own in the manifest gets the same two texts, kDefaultRaceSkin and
// kUnknownRaceKey (launcher/ManifestKeys.h).
#pragma once

constexpr char kRandomRaceKey[] = "RANDOM";
constexpr char kDefaultRaceSkin[] = "Default";
constexpr char kUnknownRaceKey[] = "UNKNOWN";
constexpr char kUnknownRaceSkin[] = "Unknown";
