// Writing the report's archives, conflicts and findings as JSON.
#include "tools/corvane-check/CheckJson.h"

#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

namespace {

using Writer = rapidjson::PrettyWriter<rapidjson::StringBuffer>;

const char* const kKindNames[] = {"mod", "engine", "game"};

void text(Writer& writer, const std::string& value) {
  writer.String(value.c_str(), static_cast<rapidjson::SizeType>(value.size()));
}

void archiveNames(Writer& writer, const std::vector<size_t>& indices, const std::vector<ArchiveFacts>& archives) {
  writer.StartArray();
  for (size_t i : indices) text(writer, archives[i].name);
  writer.EndArray();
}

void archive(Writer& writer, const ArchiveFacts& facts) {
  writer.StartObject();
  writer.Key("name");
  text(writer, facts.name);
  writer.Key("path");
  text(writer, facts.path);
  writer.Key("kind");
  writer.String(kKindNames[static_cast<int>(facts.kind)]);
  writer.Key("priority");
  if (facts.kind == ArchiveKind::game) writer.Null();
  else writer.Uint(facts.priority);
  writer.Key("opens");
  writer.Bool(!facts.error);
  writer.Key("error");
  if (facts.error) writer.String(facts.error);
  else writer.Null();
  writer.Key("files");
  if (facts.listfile) writer.Uint(static_cast<unsigned>(facts.files.size()));
  else writer.Null();
  writer.Key("listfile");
  writer.Bool(facts.listfile);
  writer.EndObject();
}

}  // namespace

std::string reportJson(const std::string& mod, const CheckReport& report) {
  rapidjson::StringBuffer buffer;
  Writer writer(buffer);
  writer.SetIndent(' ', 2);
  writer.StartObject();
  writer.Key("mod");
  text(writer, mod);
  writer.Key("archives");
  writer.StartArray();
  for (const ArchiveFacts& facts : report.archives) archive(writer, facts);
  writer.EndArray();
  writer.Key("conflicts");
  writer.StartArray();
  for (const Conflict& conflict : report.conflicts) {
    writer.StartObject();
    writer.Key("file");
    text(writer, conflict.file);
    writer.Key("winner");
    text(writer, report.archives[conflict.winner].name);
    writer.Key("hidden");
    archiveNames(writer, conflict.hidden, report.archives);
    writer.Key("game");
    archiveNames(writer, conflict.game, report.archives);
    writer.EndObject();
  }
  writer.EndArray();
  writer.Key("findings");
  writer.StartArray();
  for (const Finding& finding : report.findings) {
    writer.StartObject();
    writer.Key("severity");
    writer.String(severityName(finding.severity));
    writer.Key("subject");
    text(writer, finding.subject);
    writer.Key("text");
    text(writer, finding.text);
    writer.EndObject();
  }
  writer.EndArray();
  writer.Key("result");
  text(writer, resultLine(report));
  writer.EndObject();
  return std::string(buffer.GetString(), buffer.GetSize()) + "\n";
}
