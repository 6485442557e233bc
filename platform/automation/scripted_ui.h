#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/model/ui.h"

namespace velmora::platform {

// One queued answer for a modal dialog.
struct ScriptedAnswer {
  enum class Kind { Input, Question, File, Message, Choice };
  Kind kind = Kind::Input;
  std::optional<std::vector<std::string>> input;  // nothing: cancel
  std::optional<std::string> question;            // nothing: closed without a button
  std::optional<std::string> file;                // a full path; nothing: cancel
  std::optional<std::string> choice;              // an item or a search text; nothing: cancel
  static ScriptedAnswer inputs(std::optional<std::vector<std::string>> v) {
    ScriptedAnswer a;
    a.kind = Kind::Input;
    a.input = std::move(v);
    return a;
  }
  static ScriptedAnswer button(std::optional<std::string> b) {
    ScriptedAnswer a;
    a.kind = Kind::Question;
    a.question = std::move(b);
    return a;
  }
  static ScriptedAnswer chosenFile(std::optional<std::string> path) {
    ScriptedAnswer a;
    a.kind = Kind::File;
    a.file = std::move(path);
    return a;
  }
  static ScriptedAnswer chosenItem(std::optional<std::string> item) {
    ScriptedAnswer a;
    a.kind = Kind::Choice;
    a.choice = std::move(item);
    return a;
  }
  static ScriptedAnswer messageClosed() {
    ScriptedAnswer a;
    a.kind = Kind::Message;
    return a;
  }
};

// Answers dialogs from a queue, for tests and automation. A dialog that finds the queue empty, or an
// answer of another kind first, is cancelled and the console says so. Nothing ever waits on a human.
class ScriptedUi : public Ui {
 public:
  void push(ScriptedAnswer a) { answers_.push_back(std::move(a)); }
  std::size_t pending() const { return answers_.size(); }

  // While waiting, `pump` runs one more request from outside (automation input); it returns false
  // when no more can come. Without a pump a wait that is not already over is cancelled at once.
  void setPump(std::function<bool()> pump) { pump_ = std::move(pump); }

  std::optional<std::vector<std::string>> input(const InputDialog& dialog) override;
  std::optional<std::string> question(const QuestionDialog& dialog) override;
  // A choice answer names the item, or is typed in the search field: the one item it then leaves is
  // chosen. One that names none, or leaves several, cancels and the console says so.
  std::optional<std::string> choose(const ListDialog& dialog) override;
  void message(MessageKind kind, const std::string& text, const std::string& title) override;
  std::optional<FileChoice> openFile(const FileDialog& dialog) override;
  std::optional<FileChoice> saveFile(const FileDialog& dialog) override;
  void progress(const std::string& text, double fraction) override;
  void closeProgress() override;
  bool waitUntil(const std::function<bool()>& done) override;
  void pause(double seconds) override;
  void beep() override;
  void console(const std::string& line) override;

  // Every console line so far, and the ones since the last call of takeConsole().
  const std::vector<std::string>& consoleLines() const { return lines_; }
  std::vector<std::string> takeConsole();
  // Also write console lines to standard error (automation does).
  void setEcho(bool echo) { echo_ = echo; }

  // What the program showed, for tests.
  struct Shown {
    std::string kind;  // "input", "choose", "question", "message", "error", "warning", "open", "save", "progress"
    std::string title;
    std::string text;
  };
  const std::vector<Shown>& shown() const { return shown_; }
  // The dialogs shown since the last call of takeShown().
  std::vector<Shown> takeShown();
  int beeps() const { return beeps_; }
  bool progressOpen() const { return progressOpen_; }

 private:
  std::optional<ScriptedAnswer> take(ScriptedAnswer::Kind kind, const std::string& what);
  std::optional<FileChoice> file(const FileDialog& dialog, const char* kind);

  std::deque<ScriptedAnswer> answers_;
  std::function<bool()> pump_;
  std::vector<std::string> lines_;
  std::size_t taken_ = 0;
  bool echo_ = false;
  std::vector<Shown> shown_;
  std::size_t shownTaken_ = 0;
  int beeps_ = 0;
  bool progressOpen_ = false;
};

}  // namespace velmora::platform
