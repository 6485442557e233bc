#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velmora::platform {

struct InputDialog {
  std::vector<std::string> prompts;
  std::string title;
  int lines = 1;
  std::vector<std::string> defaults;
};

struct QuestionDialog {
  std::string text;
  std::string title;
  std::vector<std::string> buttons;  // two or three
  std::string defaultButton;
};

// A list to choose one item from, with a search field that narrows it (any letter case, anywhere in
// the item).
struct ListDialog {
  std::string title;
  std::string prompt;
  std::vector<std::string> items;
  std::string initial;  // the item selected at first, if listed
};

enum class MessageKind { Message, Error, Warning };

struct FileDialog {
  std::string filter;  // "*.ac" or "*.jpg;*.bmp;..."
  std::string title;
  std::string defaultName;
};

// A chosen file: the folder ends with the folder separator, so folder + file is the path.
struct FileChoice {
  std::string folder;
  std::string file;
  std::string path() const { return folder + file; }
};

// Splits a path into a folder ending with the separator and a file name.
inline FileChoice splitPath(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return FileChoice{"", path};
  return FileChoice{path.substr(0, slash + 1), path.substr(slash + 1)};
}

// A sound for the default audio output: one channel, samples -1..1.
struct AudioClip {
  std::vector<float> samples;
  int sampleRate = 48000;
};

// Why a sound is not heard where there is nothing to hear it with.
inline constexpr char kNoAudioOutput[] = "no audio output device was found: the sound cannot be played";

// The dialog and process services every operation calls. Two implementations: real modal Qt
// dialogs, and scripted answers for tests and automation.
class Ui {
 public:
  virtual ~Ui() = default;

  // The texts typed, one per prompt; nothing on cancel.
  virtual std::optional<std::vector<std::string>> input(const InputDialog& dialog) = 0;
  // The text of the button pressed; nothing when closed without a button.
  virtual std::optional<std::string> question(const QuestionDialog& dialog) = 0;
  // The item chosen from the list; nothing on cancel. Without a list dialog of its own (a batch run)
  // nothing is chosen.
  virtual std::optional<std::string> choose(const ListDialog& /*dialog*/) { return std::nullopt; }
  virtual void message(MessageKind kind, const std::string& text, const std::string& title) = 0;
  virtual std::optional<FileChoice> openFile(const FileDialog& dialog) = 0;
  virtual std::optional<FileChoice> saveFile(const FileDialog& dialog) = 0;

  // A modal progress bar: open or update it with a text line and a fraction in [0, 1]; close it.
  virtual void progress(const std::string& text, double fraction) = 0;
  virtual void closeProgress() = 0;

  // Runs events until `done` holds. Returns false when the wait was cancelled (no more input can
  // come: end of the automation input, or a scripted run with nothing to wait for).
  virtual bool waitUntil(const std::function<bool()>& done) = 0;
  virtual void pause(double seconds) = 0;
  virtual void beep() = 0;
  // One diagnostic line.
  virtual void console(const std::string& line) = 0;
  // Starts the clip on the default audio output and returns at once (a clip still playing stops).
  // Without an audio output device, and in runs that have none (scripted, batch), nothing plays and
  // the reason comes back.
  virtual std::optional<std::string> play(const AudioClip&) { return std::string(kNoAudioOutput); }
  // Width and height of the screen in pixels, for centring windows.
  virtual std::pair<int, int> screenSize() const { return {1280, 1024}; }
};

}  // namespace velmora::platform
