// What of a manifest the launcher will not use as written: values of the wrong JSON type, entries it
// skips, keys given twice, races beyond the limit, and keys it does not know. No platform calls; the
// rules follow planMod (launcher/ModPlan.cpp) key by key.
#pragma once

#include "tools/corvane-check/CheckReport.h"

#include <rapidjson/document.h>

#include <string>

// Adds the findings about the parsed manifest root, in document order; subjects are key paths such
// as Mpqs[1].Priority, and manifestPath names the file in a finding about the root itself.
void reviewManifest(const rapidjson::Value& root, const std::string& manifestPath, CheckReport& report);
