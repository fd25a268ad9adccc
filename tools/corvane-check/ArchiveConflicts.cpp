// Which archive serves a name that several archives hold.
#include "tools/corvane-check/Archives.h"

#include <algorithm>
#include <map>

std::vector<Conflict> findConflicts(const std::vector<ArchiveFacts>& archives) {
  // The launcher's archives in search order, then the game's in the order they are listed.
  std::vector<size_t> order;
  for (size_t i = 0; i < archives.size(); ++i)
    if (archives[i].kind != ArchiveKind::game) order.push_back(i);
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    if (archives[a].priority != archives[b].priority) return archives[a].priority > archives[b].priority;
    return a > b;
  });
  for (size_t i = 0; i < archives.size(); ++i)
    if (archives[i].kind == ArchiveKind::game) order.push_back(i);

  std::map<std::string, std::vector<size_t>> holders;  // by name key, so the conflicts come sorted
  std::map<std::string, std::string> spelling;
  for (size_t i : order) {
    for (const std::string& file : archives[i].files) {
      std::string key = nameKey(file);
      holders[key].push_back(i);
      spelling.emplace(key, file);
    }
  }
  std::vector<Conflict> conflicts;
  for (const auto& held : holders) {
    const std::vector<size_t>& in = held.second;
    if (in.size() < 2 || archives[in[0]].kind == ArchiveKind::game) continue;
    Conflict conflict{spelling[held.first], in[0], {}, {}};
    for (size_t k = 1; k < in.size(); ++k)
      (archives[in[k]].kind == ArchiveKind::game ? conflict.game : conflict.hidden).push_back(in[k]);
    conflicts.push_back(conflict);
  }
  return conflicts;
}
