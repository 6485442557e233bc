#include "polar/window_parts.h"

#include <cmath>
#include <string_view>

#include "document/drawing_objects.h"
#include "platform/model/error.h"
#include "platform/model/ui.h"

namespace velmora::polar {

using platform::ObjectType;
using platform::Value;

platform::Handle makeFixedWindow(platform::Runtime& rt, const char* tag, const char* name, double width,
                                 double height) {
  platform::Graphics& g = rt.graphics();
  const platform::Handle fig = g.create(ObjectType::Figure, platform::kRoot);
  const auto [screenWidth, screenHeight] = rt.ui().screenSize();
  document::setProperties(g, fig,
                          {{"tag", tag},
                           {"interruptible", "off"},
                           {"color", "w"},
                           {"menubar", "none"},
                           {"numbertitle", "off"},
                           {"name", name},
                           {"position", Value::row({std::floor((screenWidth - width) / 2),
                                                    std::floor((screenHeight - height) / 2), width, height})},
                           {"resize", "off"},
                           {"paperunits", "points"},
                           {"paperposition", Value::row({0, 0, width * 0.72, height * 0.72})}});
  document::setControlDefaults(g, fig);
  return fig;
}

void bottomButton(platform::Graphics& g, platform::Handle fig, double x, double width, const char* label,
                  const char* tip, const char* tag, const std::string& callback) {
  document::createObject(g, ObjectType::UiControl, fig,
                         {{"style", "pushbutton"},
                          {"position", Value::row({x, 1, width, 20})},
                          {"string", label},
                          {"tooltipstring", tip},
                          {"tag", tag},
                          {"callback", callback}});
}

platform::Handle placeText(platform::Graphics& g, platform::Handle axes, const platform::Value& s, double x,
                           double y, const char* units, const char* halign, const char* valign, double size,
                           const char* tag) {
  return document::createObject(g, ObjectType::Text, axes,
                                {{"units", units},
                                 {"position", Value::row({x, y})},
                                 {"string", s},
                                 {"fontsize", size},
                                 {"horizontalalignment", halign},
                                 {"verticalalignment", valign},
                                 {"tag", tag}});
}

std::optional<std::string> savePath(platform::Runtime& rt, const std::optional<std::string>& path,
                                    const char* filter, const char* title, const char* defaultName) {
  if (path) return path;
  platform::FileDialog dialog;
  dialog.filter = filter;
  dialog.title = title;
  dialog.defaultName = defaultName;
  const auto choice = rt.ui().saveFile(dialog);
  if (!choice) return std::nullopt;
  // A name typed without an extension gets the filter's (".wav" of "*.wav"), as the map export does.
  const std::string_view extension = std::string_view(filter).substr(1);
  if (choice->file.find('.') == std::string::npos && extension.size() > 1 &&
      extension.find_first_of("*;") == std::string_view::npos)
    return choice->path() + std::string(extension);
  return choice->path();
}

void writeExport(platform::Runtime& rt, const std::optional<std::string>& path, const char* title,
                 const std::function<void()>& write) {
  try {
    write();
  } catch (const Error& e) {
    if (!path) rt.ui().message(platform::MessageKind::Error, e.what(), title);
    throw;
  }
}

}  // namespace velmora::polar
