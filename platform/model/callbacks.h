#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace velmora::platform {

// The objects a callback text may name.
enum class CallbackTarget { Gcf, Gcbo, Gcbf };

// One statement of a callback text. Only these forms exist; anything else is refused.
struct CallbackStatement {
  enum class Kind {
    Dispatch,          // velmoracopy('verb', ...): `args` are the texts
    Set,               // set(gcf,'prop','text'): `target`, `prop`, `args[0]` the text
    Delete,            // delete(gcbo)
    GuidataFromValue,  // guidata(gcf,get(gcbo,'prop')): store that property in the window's GUI data
  };
  Kind kind = Kind::Dispatch;
  CallbackTarget target = CallbackTarget::Gcf;
  std::string prop;
  std::vector<std::string> args;
};

// Parses a callback text: statements separated by ';', quoted strings with doubled quotes inside.
// Raises an Error "unrecognised callback: <text>" for anything else; nothing is ever evaluated.
std::vector<CallbackStatement> parseCallback(std::string_view text);

}  // namespace velmora::platform
