#include "platform/automation/scripted_ui.h"

#include <iostream>

#include "platform/model/numbers.h"

namespace velmora::platform {

namespace {
const char* kindName(ScriptedAnswer::Kind k) {
  switch (k) {
    case ScriptedAnswer::Kind::Input:
      return "input";
    case ScriptedAnswer::Kind::Question:
      return "question";
    case ScriptedAnswer::Kind::File:
      return "file";
    case ScriptedAnswer::Kind::Message:
      return "message";
    case ScriptedAnswer::Kind::Choice:
      return "choice";
  }
  return "input";
}
}  // namespace

std::optional<ScriptedAnswer> ScriptedUi::take(ScriptedAnswer::Kind kind, const std::string& what) {
  if (answers_.empty()) {
    console("automation: no answer for " + what);
    return std::nullopt;
  }
  if (answers_.front().kind != kind) {
    // The answer is left for the dialog it was meant for.
    console("automation: no answer for " + what + " (the next answer is a " +
            kindName(answers_.front().kind) + " answer)");
    return std::nullopt;
  }
  ScriptedAnswer a = std::move(answers_.front());
  answers_.pop_front();
  return a;
}

std::optional<std::vector<std::string>> ScriptedUi::input(const InputDialog& dialog) {
  shown_.push_back({"input", dialog.title, dialog.prompts.empty() ? std::string() : dialog.prompts.front()});
  auto a = take(ScriptedAnswer::Kind::Input, "input dialog '" + dialog.title + "'");
  if (!a || !a->input) return std::nullopt;
  std::vector<std::string> out = *a->input;
  // Fields the answer leaves out keep their default text, as an untouched field would.
  for (std::size_t i = out.size(); i < dialog.prompts.size(); ++i) {
    out.push_back(i < dialog.defaults.size() ? dialog.defaults[i] : std::string());
  }
  return out;
}

std::optional<std::string> ScriptedUi::choose(const ListDialog& dialog) {
  shown_.push_back({"choose", dialog.title, dialog.prompt});
  auto a = take(ScriptedAnswer::Kind::Choice, "list dialog '" + dialog.title + "'");
  if (!a || !a->choice) return std::nullopt;
  for (const std::string& item : dialog.items)
    if (item == *a->choice) return item;
  std::vector<std::string> left;
  for (const std::string& item : dialog.items)
    if (lower(item).find(lower(*a->choice)) != std::string::npos) left.push_back(item);
  if (left.size() == 1) return left.front();
  console("automation: \"" + *a->choice + "\" leaves " + std::to_string(left.size()) + " items in list dialog '" +
          dialog.title + "'");
  return std::nullopt;
}

std::optional<std::string> ScriptedUi::question(const QuestionDialog& dialog) {
  shown_.push_back({"question", dialog.title, dialog.text});
  auto a = take(ScriptedAnswer::Kind::Question, "question dialog '" + dialog.title + "'");
  if (!a) return std::nullopt;
  return a->question;
}

void ScriptedUi::message(MessageKind kind, const std::string& text, const std::string& title) {
  const char* k =
      kind == MessageKind::Error ? "error" : (kind == MessageKind::Warning ? "warning" : "message");
  shown_.push_back({k, title, text});
  if (!answers_.empty() && answers_.front().kind == ScriptedAnswer::Kind::Message) answers_.pop_front();
  // A box that nobody closes is closed at once; it needs no answer.
}

std::optional<FileChoice> ScriptedUi::file(const FileDialog& dialog, const char* kind) {
  shown_.push_back({kind, dialog.title, dialog.filter});
  auto a = take(ScriptedAnswer::Kind::File, std::string("file chooser '") + dialog.title + "'");
  if (!a || !a->file) return std::nullopt;
  return splitPath(*a->file);
}

std::optional<FileChoice> ScriptedUi::openFile(const FileDialog& dialog) {
  return file(dialog, "open");
}
std::optional<FileChoice> ScriptedUi::saveFile(const FileDialog& dialog) {
  return file(dialog, "save");
}

void ScriptedUi::progress(const std::string& text, double /*fraction*/) {
  if (!progressOpen_) shown_.push_back({"progress", "", text});
  progressOpen_ = true;
}

void ScriptedUi::closeProgress() {
  progressOpen_ = false;
}

bool ScriptedUi::waitUntil(const std::function<bool()>& done) {
  while (!done()) {
    if (!pump_ || !pump_()) {
      console("automation: wait cancelled, no more input");
      return false;
    }
  }
  return true;
}

void ScriptedUi::pause(double /*seconds*/) {}  // scripted runs never sleep

void ScriptedUi::beep() {
  ++beeps_;
}

void ScriptedUi::console(const std::string& line) {
  lines_.push_back(line);
  if (echo_) std::cerr << line << std::endl;
}

std::vector<ScriptedUi::Shown> ScriptedUi::takeShown() {
  std::vector<Shown> out(shown_.begin() + static_cast<std::ptrdiff_t>(shownTaken_), shown_.end());
  shownTaken_ = shown_.size();
  return out;
}

std::vector<std::string> ScriptedUi::takeConsole() {
  std::vector<std::string> out(lines_.begin() + static_cast<std::ptrdiff_t>(taken_), lines_.end());
  taken_ = lines_.size();
  return out;
}

}  // namespace velmora::platform
