// What the benchmark programs share: a clock, medians, a scratch folder and the result lines that
// scripts/bench gathers into its table.
#pragma once

#include <string>
#include <vector>

// Milliseconds on the performance counter.
double nowMs();
double median(std::vector<double> values);

// A new empty folder under the temporary folder, made current; removeScratch removes it again.
std::string makeScratch(const char* name);
void removeScratch(const std::string& folder);
void writeText(const std::string& path, const std::string& text);

// Committed private memory of the whole address space, region by region (what the process holds).
double committedBytes();

// One row of the table: "result<TAB>name<TAB>measured<TAB>baseline<TAB>unit<TAB>ratio<TAB>goal<TAB>met".
// goalRatio <= 0: the row has no goal.
void printResult(const char* name, double measured, double baseline, const char* unit, double goalRatio);
// A free-form note printed under the table ("note<TAB>text").
void printNote(const std::string& text);
