#include "app/start_up.h"

#include <algorithm>
#include <exception>

#include "document/materials.h"
#include "platform/model/error.h"
#include "platform/model/numbers.h"

namespace velmora::app {

using platform::Handle;
using platform::Value;

std::optional<int> runStartUpWords(platform::Runtime& rt, const std::vector<std::string>& words) {
  // The material library is read once, at start: a table that does not read is said here (its line and
  // field), and again by the dialogs that need it; the rest of the program works without it.
  if (const std::string problem = document::materialLibraryProblem(); !problem.empty()) rt.console(problem);
  const std::vector<Handle> before = rt.graphics().figures();
  std::vector<Value> args;
  for (const std::string& w : words) args.emplace_back(w);
  std::optional<std::string> problem;
  try {
    rt.dispatch(args);
  } catch (const Error& e) {
    problem = e.what();
  } catch (const std::exception& e) {
    problem = std::string("internal error: ") + e.what();
  }
  if (problem) rt.console(*problem);

  const bool opensFile = words.size() == 2 && platform::equalsIgnoreCase(words[0], "load");
  if (problem && opensFile) {
    // A damaged file fails after its window was made: no untitled room in its place.
    for (Handle fig : rt.graphics().figures()) {
      if (std::find(before.begin(), before.end(), fig) == before.end()) rt.graphics().remove(fig);
    }
    // Started from a file manager or a desktop launcher, nobody sees the console.
    rt.ui().message(platform::MessageKind::Error, *problem, kStartFileErrorTitle);
  }
  if (!rt.graphics().figures().empty()) return std::nullopt;
  if (!problem) return 0;
  return opensFile ? kExitFailure : kExitBadUsage;
}

}  // namespace velmora::app
