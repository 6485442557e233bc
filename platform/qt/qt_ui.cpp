#include "platform/qt/qt_ui.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iostream>

#include <QApplication>
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

namespace velmora::platform::qt {

namespace {

QString qs(const std::string& s) {
  return QString::fromStdString(s);
}

QWidget* dialogParent() {
  return QApplication::activeWindow();
}

std::optional<FileChoice> choice(const QString& path) {
  if (path.isEmpty()) return std::nullopt;
  return splitPath(path.toStdString());
}

}  // namespace

QString qtFileFilter(const std::string& filter) {
  QStringList patterns;
  for (const QString& p :
       qs(filter).split(QRegularExpression(QStringLiteral("[;,\\s]+")), Qt::SkipEmptyParts)) {
    patterns << p;
  }
  if (patterns.isEmpty()) return QStringLiteral("All files (*)");
  return QStringLiteral("Files (%1);;All files (*)").arg(patterns.join(QLatin1Char(' ')));
}

QtUi::QtUi() {
  installRecentCases(&recentCases_);
}

QtUi::~QtUi() {
  stopPlaying();
  installRecentCases(nullptr);
  delete progress_.data();
}

std::optional<std::vector<std::string>> QtUi::input(const InputDialog& d) {
  QDialog dialog(dialogParent());
  dialog.setWindowTitle(qs(d.title));
  dialog.setModal(true);
  auto* layout = new QVBoxLayout(&dialog);
  std::vector<std::function<QString()>> readers;
  for (std::size_t i = 0; i < d.prompts.size(); ++i) {
    auto* label = new QLabel(qs(d.prompts[i]), &dialog);
    label->setWordWrap(false);
    layout->addWidget(label);
    const QString initial = i < d.defaults.size() ? qs(d.defaults[i]) : QString();
    if (d.lines > 1) {
      auto* edit = new QPlainTextEdit(initial, &dialog);
      const int rowHeight = QFontMetrics(edit->font()).lineSpacing();
      edit->setFixedHeight(rowHeight * d.lines + 12);
      layout->addWidget(edit);
      readers.emplace_back([edit] { return edit->toPlainText(); });
    } else {
      auto* edit = new QLineEdit(initial, &dialog);
      edit->setMinimumWidth(260);
      if (i == 0) {
        edit->selectAll();
        edit->setFocus();
      }
      layout->addWidget(edit);
      readers.emplace_back([edit] { return edit->text(); });
    }
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  std::vector<std::string> out;
  for (const auto& read : readers) out.push_back(read().toStdString());
  return out;
}

std::optional<std::string> QtUi::choose(const ListDialog& d) {
  QDialog dialog(dialogParent());
  dialog.setWindowTitle(qs(d.title));
  dialog.setModal(true);
  auto* layout = new QVBoxLayout(&dialog);
  if (!d.prompt.empty()) layout->addWidget(new QLabel(qs(d.prompt), &dialog));
  auto* search = new QLineEdit(&dialog);
  search->setPlaceholderText(QStringLiteral("search"));
  search->setClearButtonEnabled(true);
  layout->addWidget(search);
  auto* list = new QListWidget(&dialog);
  list->setMinimumSize(360, 320);
  for (const std::string& item : d.items) {
    auto* row = new QListWidgetItem(qs(item), list);
    if (item == d.initial) list->setCurrentItem(row);
  }
  if (list->currentItem() == nullptr && list->count() > 0) list->setCurrentRow(0);
  layout->addWidget(list);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  // Typing narrows the list; the first item still shown is selected, so Enter takes it.
  QObject::connect(search, &QLineEdit::textChanged, &dialog, [list](const QString& text) {
    QListWidgetItem* first = nullptr;
    for (int k = 0; k < list->count(); ++k) {
      QListWidgetItem* row = list->item(k);
      const bool shown = row->text().contains(text, Qt::CaseInsensitive);
      row->setHidden(!shown);
      if (shown && first == nullptr) first = row;
    }
    if (list->currentItem() == nullptr || list->currentItem()->isHidden()) list->setCurrentItem(first);
  });
  QObject::connect(list, &QListWidget::itemDoubleClicked, &dialog, &QDialog::accept);
  search->setFocus();
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QListWidgetItem* chosen = list->currentItem();
  if (chosen == nullptr || chosen->isHidden()) return std::nullopt;
  return chosen->text().toStdString();
}

std::optional<std::string> QtUi::question(const QuestionDialog& d) {
  // A dialog of its own, so that closing it without a button is possible and answers nothing.
  QDialog dialog(dialogParent());
  dialog.setWindowTitle(qs(d.title));
  dialog.setModal(true);
  auto* layout = new QVBoxLayout(&dialog);
  auto* row = new QHBoxLayout;
  auto* icon = new QLabel(&dialog);
  icon->setPixmap(dialog.style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
  icon->setAlignment(Qt::AlignTop);
  row->addWidget(icon);
  auto* text = new QLabel(qs(d.text), &dialog);
  text->setWordWrap(true);
  text->setMinimumWidth(220);
  row->addWidget(text, 1);
  layout->addLayout(row);
  auto* buttons = new QDialogButtonBox(&dialog);
  std::optional<std::string> chosen;
  for (const std::string& label : d.buttons) {
    QPushButton* b = buttons->addButton(qs(label), QDialogButtonBox::ActionRole);
    b->setAutoDefault(false);
    if (label == d.defaultButton) {
      b->setDefault(true);
      b->setFocus();
    }
    QObject::connect(b, &QPushButton::clicked, &dialog, [&chosen, &dialog, label] {
      chosen = label;
      dialog.accept();
    });
  }
  layout->addWidget(buttons);
  dialog.exec();
  return chosen;
}

void QtUi::message(MessageKind kind, const std::string& text, const std::string& title) {
  const QMessageBox::Icon icon = kind == MessageKind::Error     ? QMessageBox::Critical
                                 : kind == MessageKind::Warning ? QMessageBox::Warning
                                                                : QMessageBox::Information;
  QMessageBox box(icon, qs(title), qs(text), QMessageBox::Ok, dialogParent());
  box.exec();
}

std::optional<FileChoice> QtUi::openFile(const FileDialog& d) {
  return choice(
      QFileDialog::getOpenFileName(dialogParent(), qs(d.title), qs(d.defaultName), qtFileFilter(d.filter)));
}

std::optional<FileChoice> QtUi::saveFile(const FileDialog& d) {
  return choice(
      QFileDialog::getSaveFileName(dialogParent(), qs(d.title), qs(d.defaultName), qtFileFilter(d.filter)));
}

namespace {

// A computation shorter than this (most are a few milliseconds) shows no bar rather than a flash.
constexpr auto kShowProgressAfter = std::chrono::milliseconds(200);
// Redrawing more often is lost on the eye and cost a large room's map more than the map itself
// (360 walls: 110 ms of bar for 3 ms of computation).
constexpr auto kRedrawProgressEvery = std::chrono::milliseconds(40);

}  // namespace

void QtUi::progress(const std::string& text, double fraction) {
  const auto now = std::chrono::steady_clock::now();
  if (!progressOpen_) {
    progressOpen_ = true;
    progressOpened_ = now;
    progressDrawn_ = now;
  }
  progressText_ = text;
  progressFraction_ = std::clamp(fraction, 0.0, 1.0);
  if (now - progressDrawn_ < kRedrawProgressEvery) return;
  progressDrawn_ = now;
  if (!progress_ && now - progressOpened_ < kShowProgressAfter) {
    // Before the bar shows, the windows take no input, as behind the bar.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    return;
  }
  drawProgress();
}

void QtUi::drawProgress() {
  if (!progress_) {
    progress_ = new QProgressDialog(dialogParent());
    progress_->setWindowTitle(QStringLiteral("Progress bar"));  // the program's only progress window
    progress_->setWindowModality(Qt::ApplicationModal);
    progress_->setCancelButton(nullptr);
    progress_->setRange(0, 1000);
    progress_->setMinimumDuration(0);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
  }
  progress_->setLabelText(qs(progressText_));
  progress_->setValue(static_cast<int>(progressFraction_ * 1000.0));
  progress_->show();
  QCoreApplication::processEvents();
}

void QtUi::closeProgress() {
  progressOpen_ = false;
  if (progress_) {
    progress_->close();
    progress_->deleteLater();
    progress_ = nullptr;
  }
}

bool QtUi::waitUntil(const std::function<bool()>& done) {
  // A timer wakes the loop now and then, so the condition is seen even without new events.
  QTimer tick;
  tick.start(100);
  while (!done()) {
    if (windowsOpen_ && !windowsOpen_()) return false;
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents);
  }
  return true;
}

void QtUi::pause(double seconds) {
  if (!(seconds > 0)) {
    QCoreApplication::processEvents();
    return;
  }
  QEventLoop loop;
  QTimer::singleShot(static_cast<int>(std::min(seconds, 1e6) * 1000.0), &loop, &QEventLoop::quit);
  loop.exec();
}

void QtUi::beep() {
  QApplication::beep();
}

void QtUi::console(const std::string& line) {
  std::cerr << line << std::endl;
}

std::pair<int, int> QtUi::screenSize() const {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return {1280, 1024};
  return {screen->geometry().width(), screen->geometry().height()};
}

void QtUi::stopPlaying() {
  if (sink_) sink_->stop();
  sink_.reset();
  playingBuffer_.reset();
  playing_.clear();
}

std::optional<std::string> QtUi::play(const AudioClip& clip) {
  stopPlaying();
  const QAudioDevice device = QMediaDevices::defaultAudioOutput();
  if (device.isNull()) return std::string(kNoAudioOutput);
  QAudioFormat format;
  format.setSampleRate(clip.sampleRate);
  format.setChannelCount(1);
  format.setSampleFormat(QAudioFormat::Float);
  if (device.isFormatSupported(format)) {
    playing_ = QByteArray(reinterpret_cast<const char*>(clip.samples.data()),
                          static_cast<qsizetype>(clip.samples.size() * sizeof(float)));
  } else {
    // Every output takes 16-bit samples.
    format.setSampleFormat(QAudioFormat::Int16);
    playing_.resize(static_cast<qsizetype>(clip.samples.size() * sizeof(std::int16_t)));
    auto* out = reinterpret_cast<std::int16_t*>(playing_.data());
    for (std::size_t i = 0; i < clip.samples.size(); ++i)
      out[i] = static_cast<std::int16_t>(std::lround(std::clamp(clip.samples[i], -1.0f, 1.0f) * 32767));
  }
  playingBuffer_ = std::make_unique<QBuffer>(&playing_);
  playingBuffer_->open(QIODevice::ReadOnly);
  sink_ = std::make_unique<QAudioSink>(device, format);
  sink_->start(playingBuffer_.get());
  if (sink_->error() != QAudio::NoError) {
    stopPlaying();
    return std::string("the audio output refused the sound: nothing is played");
  }
  return std::nullopt;
}

}  // namespace velmora::platform::qt
