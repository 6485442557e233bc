#pragma once
// The recent cases kept across runs in the user's settings (QSettings, key "recentCases").

#include "platform/files/recent_cases.h"

namespace velmora::platform::qt {

class SettingsRecentCases : public RecentCases {
 public:
  std::vector<std::string> list() const override;
  void add(const std::string& path) override;
};

}  // namespace velmora::platform::qt
