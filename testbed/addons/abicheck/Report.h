// The add-on's result file: one line per check, "ok NAME" or "FAIL NAME expected E actual A".
#pragma once

bool openReport(const char* path);
// Writes the closing line "end N" with the number of checks made, then closes the file.
void closeReport();

void checkTrue(const char* name, bool actual);
void checkNumber(const char* name, long expected, long actual);
void checkPointer(const char* name, const void* expected, const void* actual);
// Texts compare byte for byte; a null pointer is its own value, equal only to null.
void checkText(const char* name, const char* expected, const char* actual);
void checkBytes(const char* name, const void* expected, unsigned int expectedSize, const void* actual,
                unsigned int actualSize);
// Doubles compare bit for bit.
void checkDouble(const char* name, double expected, double actual);
// The whole file must hold exactly expected (a missing file fails).
void checkFile(const char* name, const char* path, const char* expected);
void checkNoFile(const char* name, const char* path);
