// Playback heard: a private PulseAudio daemon with a null sink, the front end pointed at it, a tone
// played through QtUi::play and the sink's monitor recorded, so the test hears what a user would.
// The daemon, the recorder and the player are children of this test, bounded in time and gone when
// it ends (or dies). Skipped, saying why, where pulseaudio is not installed or will not start.

#include <sys/prctl.h>

#include <QAudioDevice>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMediaDevices>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "platform/qt/qt_ui.h"
#include "support/qt_application.h"

namespace velmora::platform::qt {
namespace {

// Set in the player's environment: the test, run again as a child, plays instead of listening.
constexpr char kPlayerVariable[] = "VELMORA_NULL_SINK_PLAYER";
constexpr char kTestFilter[] = "--gtest_filter=QtUiPlaybackNullSink.*";
constexpr char kSinkName[] = "velmora_null";
constexpr int kRate = 48000;
constexpr double kToneHz = 1000, kToneSeconds = 0.25, kToneAmplitude = 0.5;

AudioClip tone() {
  AudioClip clip;
  clip.sampleRate = kRate;
  clip.samples.resize(static_cast<std::size_t>(kToneSeconds * kRate));
  for (std::size_t i = 0; i < clip.samples.size(); ++i)
    clip.samples[i] = static_cast<float>(kToneAmplitude * std::sin(2 * std::numbers::pi * kToneHz * i / kRate));
  return clip;
}

// A process of the test's: stopped when it goes out of scope (asked first, then killed), and killed
// with the test process whatever ends that.
class Child : public QProcess {
 public:
  Child() {
    setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
  }
  ~Child() override { stop(); }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  void stop() {
    if (state() == QProcess::NotRunning) return;
    terminate();
    if (!waitForFinished(5000)) {
      kill();
      waitForFinished(5000);
    }
  }
};

// A PulseAudio daemon of this test's own: its runtime, state and configuration in a temporary folder,
// no default configuration (-n), one null sink and a native socket open to anonymous clients. The sink
// runs at the clip's rate (nothing resampled) and never rewinds: a rewind when a stream starts mixes
// the stream's first milliseconds into audio its monitor has already passed on, and they are lost.
class PrivatePulseAudio {
 public:
  explicit PrivatePulseAudio(const QTemporaryDir& dir) : socket_(dir.filePath("native")) {
    env_ = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"})
      env_.insert(name, dir.path());
    env_.insert("PULSE_RUNTIME_PATH", dir.filePath("runtime"));
    env_.insert("PULSE_STATE_PATH", dir.filePath("state"));
    // No desktop bus, nor one launched on the display's behalf for the daemon or its clients.
    env_.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + dir.filePath("no-bus"));
    env_.remove("DISPLAY");
    env_.remove("PULSE_SERVER");
    env_.insert("PULSE_CLIENTCONFIG", dir.filePath("client.conf"));  // missing: defaults, no autospawn
  }

  // Starts the daemon and waits (10 s at most) until it answers; why not otherwise.
  std::optional<std::string> start() {
    daemon_.setProcessEnvironment(env_);
    daemon_.setProcessChannelMode(QProcess::MergedChannels);
    daemon_.start(QStandardPaths::findExecutable("pulseaudio"),
                  {"--daemonize=no", "-n", "--system=false", "--exit-idle-time=-1", "--use-pid-file=false",
                   "--disallow-exit", "--log-target=stderr", "--log-level=error",
                   QString("--load=module-null-sink norewinds=1 rate=%1 sink_name=").arg(kRate) + kSinkName,
                   "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket_});
    if (!daemon_.waitForStarted(5000)) return "it could not be run: " + daemon_.errorString().toStdString();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000) {
      if (QFile::exists(socket_) && pactl({"list", "short", "sinks"}).contains(kSinkName)) return std::nullopt;
      if (daemon_.waitForFinished(100))
        return "it stopped at once: " + daemon_.readAll().trimmed().toStdString();
    }
    return "it did not answer within 10 s: " + daemon_.readAll().trimmed().toStdString();
  }

  // What `pactl ARGS` prints against this daemon (5 s at most).
  QString pactl(const QStringList& args) const {
    Child tool;
    tool.setProcessEnvironment(clientEnvironment());
    tool.start(QStandardPaths::findExecutable("pactl"), args);
    if (!tool.waitForFinished(5000)) return {};
    return QString::fromUtf8(tool.readAllStandardOutput());
  }

  QProcessEnvironment clientEnvironment() const {
    QProcessEnvironment env = env_;
    env.insert("PULSE_SERVER", "unix:" + socket_);
    return env;
  }

  QString log() { return QString::fromUtf8(daemon_.readAll()); }

 private:
  QString socket_;
  QProcessEnvironment env_;
  Child daemon_;
};

// The player: this test run again in a child process whose Qt knows only the private daemon (the
// media backend connects once per process, so the parent's Qt never touches it). Plays the tone and
// keeps the event loop turning until it has surely been heard.
void playAsChild() {
  test_support::qtApplication();
  ASSERT_FALSE(QMediaDevices::defaultAudioOutput().isNull())
      << "the front end found no output at " << qgetenv("PULSE_SERVER").toStdString();
  QtUi ui;
  const auto why = ui.play(tone());
  ASSERT_FALSE(why) << *why;
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < kToneSeconds * 1000 + 1500) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
}

TEST(QtUiPlaybackNullSink, TheClipPlayedReachesTheSink) {
  if (qEnvironmentVariableIsSet(kPlayerVariable)) return playAsChild();
  test_support::qtApplication();  // for the test program's own path; its media backend stays unused
  for (const char* tool : {"pulseaudio", "pactl", "parec"})
    if (QStandardPaths::findExecutable(tool).isEmpty())
      GTEST_SKIP() << tool << " is not installed (scripts/install-deps.sh --test installs it): "
                   << "playback into a null sink is not tested";
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  PrivatePulseAudio pulse(dir);
  if (const auto why = pulse.start())
    GTEST_SKIP() << "a private PulseAudio daemon could not be started, so playback into a null sink is "
                 << "not tested: " << *why;

  // The sink's monitor, recorded as it plays: 16-bit mono at the clip's rate in 20 ms fragments, read
  // from parec's output all along (told to write raw samples to a file, parec writes few or none).
  Child recorder;
  recorder.setProcessEnvironment(pulse.clientEnvironment());
  recorder.start(QStandardPaths::findExecutable("parec"),
                 {"--device=" + QString(kSinkName) + ".monitor", "--raw", "--format=s16le", "--channels=1",
                  "--rate=" + QString::number(kRate), "--latency-msec=20"});
  ASSERT_TRUE(recorder.waitForStarted(5000));
  QByteArray bytes;
  const auto listen = [&] {
    recorder.waitForReadyRead(20);
    bytes += recorder.readAllStandardOutput();
  };
  QElapsedTimer clock;
  clock.start();
  // Until the sink has taken the recorder's latency (up to 2 s, a null sink's longest) its monitor
  // says nothing: the player starts once the first fragments are in.
  while (bytes.size() < kRate / 10 * 2) {
    ASSERT_LT(clock.elapsed(), 10000) << "the recorder heard nothing within 10 s: "
                                      << recorder.readAllStandardError().toStdString();
    listen();
  }

  Child player;
  QProcessEnvironment env = pulse.clientEnvironment();
  env.insert(kPlayerVariable, "1");
  env.insert("QT_QPA_PLATFORM", "offscreen");
  player.setProcessEnvironment(env);
  player.setProcessChannelMode(QProcess::MergedChannels);
  player.start(QCoreApplication::applicationFilePath(), {kTestFilter});
  ASSERT_TRUE(player.waitForStarted(5000));
  clock.restart();
  while (!player.waitForFinished(20) && clock.elapsed() < 30000) listen();
  const bool finished = player.state() == QProcess::NotRunning;
  player.stop();
  const std::string played = player.readAll().toStdString();
  ASSERT_TRUE(finished) << "the player did not finish within 30 s:\n" << played;
  EXPECT_EQ(player.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(player.exitCode(), 0) << played;
  EXPECT_NE(played.find("[  PASSED  ] 1 test"), std::string::npos) << played;

  // The last fragments reach the recorder, then it stops.
  clock.restart();
  while (clock.elapsed() < 300) listen();
  recorder.stop();
  bytes += recorder.readAllStandardOutput();
  std::vector<double> samples(static_cast<std::size_t>(bytes.size()) / 2);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    std::int16_t sample;
    std::memcpy(&sample, bytes.constData() + 2 * i, 2);
    samples[i] = sample / 32768.0;
  }

  // Heard: the clip itself, sample by sample to the sink's 16 bits, from its first sound on (it begins
  // at 0), then silence.
  const AudioClip clip = tone();
  const auto first = std::find_if(samples.begin(), samples.end(), [](double s) { return s != 0; });
  ASSERT_NE(first, samples.end()) << "the sink heard only silence (" << samples.size() << " samples); "
                                  << "daemon: " << pulse.log().toStdString();
  ASSERT_GT(first - samples.begin(), 0);
  const std::size_t onset = static_cast<std::size_t>(first - samples.begin()) - 1;
  const std::size_t silence = kRate / 10;
  ASSERT_GE(samples.size(), onset + clip.samples.size() + silence)
      << "the recording stops " << (samples.size() - onset) << " samples after the clip began";
  double worst = 0;
  std::size_t where = 0;
  for (std::size_t i = 0; i < clip.samples.size(); ++i) {
    const double difference = std::abs(samples[onset + i] - clip.samples[i]);
    if (difference > worst) worst = difference, where = i;
  }
  EXPECT_LE(worst, 2.0 / 32768) << "sample " << where << " of the clip was heard as " << samples[onset + where]
                                << " for " << clip.samples[where];
  const auto after = samples.begin() + static_cast<std::ptrdiff_t>(onset + clip.samples.size());
  EXPECT_EQ(std::count_if(after, after + static_cast<std::ptrdiff_t>(silence), [](double s) { return s != 0; }), 0);
}

}  // namespace
}  // namespace velmora::platform::qt
