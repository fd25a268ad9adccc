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
#include <iterator>
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
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  rapidjson::Document numbers;
  numbers.Parse(text.c_str());
  if (numbers.HasParseError() || !numbers.IsArray()) return fprintf(stderr, "%s: not an array\n", argv[1]), 1;

  rapidjson::Document doubles(rapidjson::kArrayType);
  std::string read;
  for (const rapidjson::Value& number : numbers.GetArray()) {
    if (!number.IsNumber()) return fprintf(stderr, "%s: not a number in the array\n", argv[1]), 1;
    double value = number.GetDouble();
    float single = static_cast<float>(value);
    uint64_t bits;
    uint32_t singleBits;
    memcpy(&bits, &value, sizeof bits);
    memcpy(&singleBits, &single, sizeof singleBits);
    char row[64];
    snprintf(row, sizeof row, "\n    {0x%016" PRIx64 "ull, 0x%08" PRIx32 "u},", bits, singleBits);
    read += row;
    doubles.PushBack(value, doubles.GetAllocator());
  }

  FILE* header = fopen(argv[2], "wb");
  if (!header) return 1;
  fprintf(header,
          "// Made by NumberReference: RapidJSON 1.1.0 on x86-64, default flags.\n#pragma once\n\n"
          "const unsigned kNumberCount = %u;\nconst char kNumbersText[] =%s;\nconst char kNumbersWritten[] =%s;\n"
          "// Each number read, as a double and narrowed to a float.\n"
          "const struct {\n  unsigned long long asDouble;\n  unsigned asFloat;\n} kNumbersRead[] = {%s\n};\n"
          "const char kDoublesWritten[] =%s;\n",
          numbers.Size(), literal(text).c_str(), literal(pretty(numbers)).c_str(), read.c_str(),
          literal(pretty(doubles)).c_str());
  return fclose(header) == 0 ? 0 : 1;
}
