// What of a manifest the launcher will not use as written: values of the wrong JSON type, entries it
// skips, keys given twice, races beyond the limit, and keys it does not know. No platform calls; the
// rules follow planMod (launcher/ModPlan.cpp) key by key.
#pragma once

#include "tools/corvane-check/CheckReport.h"

#include "json/NodeRecord.h"

#include <string>

// Adds the findings about the manifest's root as the launcher parsed it, in document order; subjects are
// key paths such as Mpqs[1].Priority, and manifestPath names the file in a finding about the root itself.
void reviewManifest(const JsonValue& root, const std::string& manifestPath, CheckReport& report);
