#pragma once
// One automation request answered by a fresh protocol handler over a test's runtime and scripted UI.

#include <sstream>

#include "platform/automation/automation.h"

namespace velmora::test_support {

inline platform::Json automationRequest(platform::Runtime& rt, platform::ScriptedUi& ui, const platform::Json& req) {
  std::istringstream in;
  std::ostringstream out;
  platform::Automation automation(rt, ui, in, out);
  return platform::Json::parse(automation.handle(req.dump()));
}

}  // namespace velmora::test_support
