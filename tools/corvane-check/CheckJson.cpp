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

// Archives are named by their index in "archives": names alone can be the same (a mod's War3x.mpq).
void archiveIndices(Writer& writer, const std::vector<size_t>& indices) {
  writer.StartArray();
  for (size_t i : indices) writer.Uint(static_cast<unsigned>(i));
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
  writer.Key("format");
  if (facts.formatVersion) writer.Uint(facts.formatVersion);
  else writer.Null();
  writer.Key("files");
  if (facts.listfile) writer.Uint(static_cast<unsigned>(facts.files.size()));
  else writer.Null();
  writer.Key("listfile");
  writer.Bool(facts.listfile);
  writer.Key("unreadable");
  writer.StartArray();
  for (const std::string& name : facts.unreadable) text(writer, name);
  writer.EndArray();
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
  writer.Key("addons");
  writer.StartArray();
  for (const AddonFacts& addon : report.addons) {
    writer.StartObject();
    writer.Key("path");
    text(writer, addon.path);
    writer.Key("loads");
    writer.Bool(addon.loads);
    writer.EndObject();
  }
  writer.EndArray();
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
    // Which copy the game reads is known only when none of the game's archives holds the name.
    writer.Key("winner");
    if (conflict.game.empty()) writer.Uint(static_cast<unsigned>(conflict.winner));
    else writer.Null();
    std::vector<size_t> launcher = {conflict.winner};
    launcher.insert(launcher.end(), conflict.hidden.begin(), conflict.hidden.end());
    writer.Key("launcher");
    archiveIndices(writer, launcher);
    writer.Key("game");
    archiveIndices(writer, conflict.game);
    writer.EndObject();
  }
  writer.EndArray();
  writer.Key("gameVersion");
  if (report.gameVersion.empty()) writer.Null();
  else text(writer, report.gameVersion);
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
