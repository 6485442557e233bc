#include "platform/files/recent_cases.h"

#include <algorithm>

namespace velmora::platform {

std::vector<std::string> withRecent(std::vector<std::string> list, const std::string& path) {
  std::erase(list, path);
  list.insert(list.begin(), path);
  if (list.size() > kRecentCaseCount) list.resize(kRecentCaseCount);
  return list;
}

namespace {

RecentCases* installed = nullptr;

}  // namespace

RecentCases& recentCases() {
  static InMemoryRecentCases inMemory;
  return installed != nullptr ? *installed : inMemory;
}

void installRecentCases(RecentCases* service) {
  installed = service;
}

}  // namespace velmora::platform
