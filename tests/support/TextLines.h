// Splitting a program's output or a file's text into lines, for whole-line comparisons.
#pragma once

#include <string>
#include <vector>

// Text split into lines at line feeds, each without its CR; no empty last line.
std::vector<std::string> linesOf(const std::string& text);
