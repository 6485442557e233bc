#include "platform/qt/settings_recent_cases.h"

#include <memory>

#include <QSettings>
#include <QStringList>

namespace velmora::platform::qt {

namespace {

constexpr const char* kKey = "recentCases";

std::unique_ptr<QSettings> settings() {
  return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, "velmora", "velmora");
}

}  // namespace

std::vector<std::string> SettingsRecentCases::list() const {
  std::vector<std::string> out;
  for (const QString& s : settings()->value(kKey).toStringList()) {
    if (!s.isEmpty()) out.push_back(s.toStdString());
  }
  // A settings file edited by hand may hold more, or repeats.
  std::vector<std::string> clean;
  for (auto it = out.rbegin(); it != out.rend(); ++it) clean = withRecent(std::move(clean), *it);
  return clean;
}

void SettingsRecentCases::add(const std::string& path) {
  QStringList stored;
  for (const std::string& p : withRecent(list(), path)) stored << QString::fromStdString(p);
  settings()->setValue(kKey, stored);
}

}  // namespace velmora::platform::qt
