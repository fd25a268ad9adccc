// NumberReference NUMBERS.json HEADER: the reference for AbiCheck's number checks, built for the build
// machine (x86-64, SSE2) against Debian's RapidJSON 1.1.0 as it is, with the default flags. It reads the
// array in NUMBERS.json and writes HEADER: the text itself, what PrettyWriter writes for it as read, the
// bits of each element read as a double and narrowed to a float, and what PrettyWriter writes for an
// array of those doubles.
#include <rapidjson/document.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

static std::string pretty(const rapidjson::Value& value) {
  rapidjson::StringBuffer text;
  rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(text);
  value.Accept(writer);
  return text.GetString();
}

// text as a C string literal, a line of the source for each of its lines.
static std::string literal(const std::string& text) {
  std::string out = "\n    \"";
  for (char c : text) {
    if (c == '\n') out += "\\n\"\n    \"";
    else if (c == '"' || c == '\\') out += std::string("\\") + c;
    else out += c;
  }
  return out + "\"";
}

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  std::ifstream in(argv[1], std::ios::binary);
  std::stringstream given;
  given << in.rdbuf();
  const std::string text = given.str();
  rapidjson::Document numbers;
  numbers.Parse(text.c_str());
  if (numbers.HasParseError() || !numbers.IsArray()) return fprintf(stderr, "%s: not an array\n", argv[1]), 1;

  rapidjson::Document doubles(rapidjson::kArrayType);
  std::string bits, floats;
  for (const rapidjson::Value& number : numbers.GetArray()) {
    if (!number.IsNumber()) return fprintf(stderr, "%s: not a number in the array\n", argv[1]), 1;
    double value = number.GetDouble();
    uint64_t pattern;
    memcpy(&pattern, &value, sizeof pattern);
    char hex[32];
    snprintf(hex, sizeof hex, "\n    0x%016" PRIx64 "ull,", pattern);
    bits += hex;
    float single = static_cast<float>(value);
    uint32_t singleBits;
    memcpy(&singleBits, &single, sizeof singleBits);
    snprintf(hex, sizeof hex, "\n    0x%08" PRIx32 "u,", singleBits);
    floats += hex;
    doubles.PushBack(value, doubles.GetAllocator());
  }

  FILE* header = fopen(argv[2], "wb");
  if (!header) return 1;
  const char* name = strrchr(argv[1], '/') ? strrchr(argv[1], '/') + 1 : argv[1];
  fprintf(header,
          "// Made by NumberReference from %s: RapidJSON 1.1.0 on x86-64, default flags.\n#pragma once\n\n"
          "const unsigned kNumberCount = %u;\nconst char kNumbersText[] =%s;\nconst char kNumbersWritten[] =%s;\n"
          "const unsigned long long kNumbersRead[] = {%s\n};\nconst unsigned kNumbersAsFloats[] = {%s\n};\n"
          "const char kDoublesWritten[] =%s;\n",
          name, numbers.Size(), literal(text).c_str(), literal(pretty(numbers)).c_str(), bits.c_str(), floats.c_str(),
          literal(pretty(doubles)).c_str());
  return fclose(header) == 0 ? 0 : 1;
}
