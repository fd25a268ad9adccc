// The checker's findings as one JSON object on standard output, for editors and scripts
// (corvane-check --json NAME; the schema is in docs/corvane-check.md).
#pragma once

#include "tools/corvane-check/CheckReport.h"

#include <string>

// {"mod", "archives": [...], "conflicts": [...], "findings": [...]}, indented by two, with a line end.
std::string reportJson(const std::string& mod, const CheckReport& report);
