#pragma once

#include <functional>
#include <iosfwd>
#include <string>

#include "platform/automation/protocol_line.h"
#include "platform/model/runtime.h"
#include "platform/automation/scripted_ui.h"
#include "platform/model/value.h"

namespace velmora::platform {

// Program values as the automation protocol writes them: a 1-by-1 matrix as a number (NaN, Inf and
// -Inf as the strings "NaN", "Inf", "-Inf"), any other matrix as {"shape":[rows,cols],"data":[...]}
// column-major, texts as strings, lists as arrays, records as objects in field order, graphics
// objects as {"handle":n}.
Json encodeValue(const Value& v);

// The reverse. A plain array of numbers is a 1-by-n row; an empty array an empty list; the strings
// "NaN", "Inf" and "-Inf" read as numbers; true/false as 1/0; null as an empty matrix. Raises an Error
// with a clear message for a malformed matrix or handle, or for nesting deeper than kDeepestNesting.
Value decodeValue(const Json& j);

// The JSON-lines protocol: one request per input line, one reply per output line. Dialogs are
// answered from the Scripted UI's queue; console lines are kept for the "console" request.
class Automation {
 public:
  // Writes a window as it shows on screen, controls included, to an image file.
  using RenderHook = std::function<void(Handle figure, const std::string& path)>;
  // Closes a window as a user does (the figure leaves the model).
  using CloseHook = std::function<void(Handle figure)>;

  Automation(Runtime& runtime, ScriptedUi& ui, std::istream& in, std::ostream& out);
  ~Automation();
  Automation(const Automation&) = delete;
  Automation& operator=(const Automation&) = delete;

  void setRenderHook(RenderHook hook) { render_ = std::move(hook); }
  void setCloseHook(CloseHook hook) { close_ = std::move(hook); }
  // The tag of the program's main windows: "get" with "what":"udf" and no "figure" reads the case
  // record of the current one (or of the topmost, while another window is in front). The program
  // says which tag that is; without it no window is a main window.
  void setMainWindowTag(std::string tag) { mainWindowTag_ = std::move(tag); }

  // Reads and answers requests until the end of the input or "quit".
  void run();
  // Answers one request line (also used while a call waits); the reply, without newline.
  std::string handle(const std::string& line);
  bool finished() const { return finished_; }

 private:
  // Reads and answers the next non-blank line; false at the end of input or after "quit".
  bool step();
  // Answers one request by its "op"; each op's answer below checks the request's keys first.
  Json request(const Json& req);
  Json dispatch(const Json& req);
  Json answer(const Json& req);
  Json get(const Json& req);
  Json set(const Json& req);
  Json find(const Json& req);
  Json press(const Json& req);
  Json pressObject(const Json& req);  // a press with "handle"
  Json pointer(const Json& req);      // "motion" and "release"
  Json key(const Json& req);
  Json callback(const Json& req);
  Json figures(const Json& req);
  Json console(const Json& req);
  Json dialogs(const Json& req);
  Json render(const Json& req);
  Json close(const Json& req);
  Json quit(const Json& req);
  // The live object named by `key` (not the root); an Error when missing or gone.
  Handle existing(const Json& req, const char* key) const;
  // The window named by "figure", else the current one.
  Handle figureArg(const Json& req) const;
  // The window named by "handle".
  Handle existingFigure(const Json& req) const;
  Json objectJson(Handle h) const;
  Json property(Handle h, const std::string& name) const;
  Handle currentMainWindow() const;

  Runtime& rt_;
  ScriptedUi& ui_;
  std::istream& in_;
  std::ostream& out_;
  RenderHook render_;
  CloseHook close_;
  std::string mainWindowTag_;
  bool finished_ = false;
};

}  // namespace velmora::platform
