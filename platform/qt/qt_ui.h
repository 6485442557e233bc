#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include <QByteArray>
#include <QPointer>

#include "platform/qt/settings_recent_cases.h"
#include "platform/model/ui.h"

class QAudioSink;
class QBuffer;
class QProgressDialog;

namespace velmora::platform::qt {

// The dialog and process services as real modal Qt dialogs.
class QtUi : public platform::Ui {
 public:
  QtUi();
  ~QtUi() override;

  // Tells whether any window is still open; a wait ends (cancelled) once none is.
  void setWindowsOpen(std::function<bool()> open) { windowsOpen_ = std::move(open); }

  std::optional<std::vector<std::string>> input(const InputDialog& dialog) override;
  std::optional<std::string> question(const QuestionDialog& dialog) override;
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
  std::pair<int, int> screenSize() const override;
  // On the default audio output through Qt Multimedia; none there: kNoAudioOutput.
  std::optional<std::string> play(const AudioClip& clip) override;

 private:
  void stopPlaying();
  void drawProgress();

  SettingsRecentCases recentCases_;  // installed while this front end lives
  std::function<bool()> windowsOpen_;
  // The progress bar: open from the first report to the close; its window appears once the work has
  // lasted a moment and is redrawn a few dozen times a second at most (see progress()).
  bool progressOpen_ = false;
  std::string progressText_;
  double progressFraction_ = 0;
  std::chrono::steady_clock::time_point progressOpened_, progressDrawn_;
  QPointer<QProgressDialog> progress_;
  // The clip playing: its bytes, the device reading them and the output.
  QByteArray playing_;
  std::unique_ptr<QBuffer> playingBuffer_;
  std::unique_ptr<QAudioSink> sink_;
};

// A file filter such as "*.jpg;*.bmp;*.ps" as a Qt filter: "Files (*.jpg *.bmp *.ps);;All files (*)".
QString qtFileFilter(const std::string& filter);

}  // namespace velmora::platform::qt
