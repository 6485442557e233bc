#pragma once
// The most recently loaded or saved case files, newest first: a process-wide service that a front
// end installs (the Qt front end keeps the list across runs); until then an in-memory list serves,
// as in tests and automation.

#include <cstddef>
#include <string>
#include <vector>

namespace velmora::platform {

inline constexpr std::size_t kRecentCaseCount = 5;

// `path` moved (or added) to the front of `list`, without repeats, at most kRecentCaseCount long.
std::vector<std::string> withRecent(std::vector<std::string> list, const std::string& path);

class RecentCases {
 public:
  virtual ~RecentCases() = default;
  virtual std::vector<std::string> list() const = 0;
  virtual void add(const std::string& path) = 0;
};

class InMemoryRecentCases : public RecentCases {
 public:
  std::vector<std::string> list() const override { return list_; }
  void add(const std::string& path) override { list_ = withRecent(std::move(list_), path); }

 private:
  std::vector<std::string> list_;
};

// The installed service, or the process's in-memory list when none is.
RecentCases& recentCases();
// Installs a service (nullptr: back to the in-memory list). The caller keeps it alive meanwhile.
void installRecentCases(RecentCases* service);

}  // namespace velmora::platform
