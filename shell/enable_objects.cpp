#include "shell/enable_objects.h"

#include "document/tags.h"
#include "document/window.h"
#include "platform/model/numbers.h"

namespace velmora::shell {

using namespace velmora::document;

void enableobjects(platform::Runtime& rt, std::string_view state) {
  auto& g = rt.graphics();
  const Handle fig = currentMainWindow(rt);
  std::vector<Handle> drawing;
  for (const char* tag : {tags::kWall, tags::kWallVertex, tags::kAudienceMap, tags::kAudienceVertex,
                          tags::kSource, tags::kReceptor, tags::kXAxis, tags::kYAxis}) {
    for (Handle h : objectsByTag(rt, fig, tag)) drawing.push_back(h);
  }
  const auto controls = g.findIf(
      fig, [](const platform::GraphicsObject& o) { return o.type() == platform::ObjectType::UiControl; });

  const bool off = platform::equalsIgnoreCase(state, "off");
  for (Handle h : drawing) g.setText(h, "hittest", off ? "off" : "on");
  for (Handle h : controls) g.setText(h, "enable", off ? "off" : "on");
  if (off) return;

  const auto stringOf = [&](Handle h) {
    const platform::Value s = g.get(h, "string");
    return s.isText() ? s.text() : std::string();
  };
  for (Handle h : controls) {
    const std::string s = stringOf(h);
    if (s == "objects" || s == "utils") g.setText(h, "enable", "inactive");
  }
  const auto receptor = findInWindow(rt, fig, tags::kReceptor);
  if (receptor && !g.at(*receptor).visible()) {
    for (Handle h : controls) {
      if (stringOf(h) == "polar") g.setText(h, "enable", "off");
    }
  }
}

}  // namespace velmora::shell
