// The response at the receptor of real rooms: its decay against the room's reverberation time, its
// early part against the echogram's arrivals; and the echogram's sound driven from the window with no
// audio device (scripted), its dry sounds and its WAV exports.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "document/room_acoustics.h"
#include "platform/automation/automation.h"
#include "platform/files/audio_file.h"
#include "polar/echogram.h"
#include "polar/echogram_response.h"
#include "support/hand_rooms.h"
#include "support/main_window.h"

namespace velmora::polar {
namespace {

using platform::Handle;
using platform::ScriptedAnswer;
using platform::Value;
using shell::velmoracopy;

class HearingTest : public test_support::MainWindowFixture<> {
 protected:
  HearingTest() { fig = openMainWindow(); }
  platform::Graphics& g() { return rt.graphics(); }
  void setRoom(const std::vector<double>& xw, const std::vector<double>& yw, double alpha, double xso, double yso,
               double xre, double yre, int order) {
    document::CaseDescription d =
        test_support::describe(xw, yw, std::vector<double>(xw.size(), alpha), xso, yso, xre, yre, 100);
    d.order = order;
    velmoracopy(rt, ops, {Value("update"), d.toValue()});
  }
  Handle echogramWindow() {
    velmoracopy(rt, ops, {Value("echogram")});
    return g().currentFigure();
  }
  const EchogramRecord& record(Handle w) { return *g().at(w).userdataAs<EchogramRecord>(); }
  Handle one(Handle parent, const char* tag) { return g().findobj(parent, tag).at(0); }
};

struct Room {
  const char* name;
  std::vector<double> xw, yw;
  double alpha;  // percent, every wall
  double xso, yso, xre, yre;
};

// The decay of the response, broadband (the walls absorb alike in every band), gives back the room's
// Eyring time; its part up to the transition holds exactly the energy of the arrivals heard there.
TEST_F(HearingTest, DecayGivesBackTheReverberationTimeAndTheEarlyPartTheArrivals) {
  const std::vector<Room> rooms = {
      {"shoebox 12 x 8 m", {0, 12, 12, 0}, {0, 0, 8, 8}, 15, 2, 2, 10, 6.5},
      {"L room", {0, 10, 10, 5, 5, 0}, {0, 0, 10, 10, 5, 5}, 10, 2, 2, 8, 3},
  };
  for (const Room& room : rooms) {
    SCOPED_TRACE(room.name);
    setRoom(room.xw, room.yw, room.alpha, room.xso, room.yso, room.xre, room.yre, 4);
    const PolarInputs in = readPolarInputs(rt, fig);
    const PolarComputation computed = computePolarLevels(in);
    ASSERT_FALSE(computed.refusal);
    const EchogramFigures figures = echogramFigures(computed.levels, in.order);
    const document::RoomAcoustics acoustics = document::roomAcoustics(rt, fig);
    const hearing::ResponseInputs heard = responseInputs(in, figures, acoustics);
    const hearing::ImpulseResponse ir = hearing::impulseResponse(heard);

    const double eyring = acoustics.reverberation.eyring[0];
    const hearing::DecayFigures decay = hearing::decayFigures(ir.samples, ir.sampleRate);
    ASSERT_TRUE(decay.t20 && decay.t30);
    EXPECT_NEAR(*decay.t20 / eyring, 1, 0.05) << *decay.t20 << " s against " << eyring << " s";
    EXPECT_NEAR(*decay.t30 / eyring, 1, 0.05) << *decay.t30 << " s against " << eyring << " s";

    double arrivals = 0, early = 0;
    for (const Arrival& a : figures.arrivals) {
      const double t = heard.directSeconds + a.delayMs / 1000;
      if (!a.blocked && std::llround(t * ir.sampleRate) < static_cast<long long>(ir.earlyEnd)) arrivals += a.energy;
    }
    for (std::size_t i = 0; i < ir.earlyEnd; ++i) early += ir.samples[i] * ir.samples[i];
    EXPECT_GT(figures.arrivals.size(), 20u);
    EXPECT_GT(arrivals, 0);
    EXPECT_NEAR(early / arrivals, 1, 1e-12);

    // The window shows the same response.
    const Handle w = echogramWindow();
    EXPECT_DOUBLE_EQ(*record(w).decay.t30, *decay.t30);
    EXPECT_EQ(g().findobj(w, tags::kEchogramDecay).size(), 1u);
  }
}

// "listen" with no audio device: the message, and nothing else changes. The exports write WAV files
// that read back; a dry sound that is no sound is refused and the choice stays.
TEST_F(HearingTest, ListenWithoutADeviceDrySoundsAndExports) {
  const Handle w = echogramWindow();
  // Compared as the protocol writes it: the default room's decay figures are none (NaN).
  const auto before = platform::encodeValue(record(w).toValue());
  const std::size_t objects = g().findobj(w, "").size();
  const std::size_t shown = ui.shown().size();
  rt.click(one(w, tags::kEchogramListen));
  ASSERT_EQ(ui.shown().size(), shown + 1);
  EXPECT_EQ(ui.shown().back().kind, "message");
  EXPECT_EQ(ui.shown().back().title, "Listen");
  EXPECT_EQ(ui.shown().back().text, platform::kNoAudioOutput);
  EXPECT_EQ(platform::encodeValue(record(w).toValue()), before);
  EXPECT_EQ(g().findobj(w, "").size(), objects);

  const std::string response = (std::filesystem::current_path() / "response.wav").string();
  ui.push(ScriptedAnswer::chosenFile(response));
  rt.click(one(w, tags::kEchogramExportResponse));
  const platform::Sound ir = platform::readSound(response);
  EXPECT_EQ(ir.sampleRate, 48000);
  double peak = 0;
  for (double s : ir.samples) peak = std::max(peak, std::abs(s));
  EXPECT_NEAR(peak, std::pow(10, -1.0 / 20), 1e-6);

  // The spoken phrase (22050 Hz FLAC inside the program) heard: its 3.73 s at 48 kHz and the response.
  const Handle dry = one(w, tags::kEchogramDry);
  g().setNumber(dry, "value", 2);
  rt.click(dry);
  EXPECT_EQ(record(w).dryChoice, 2);
  const std::string heard = (std::filesystem::current_path() / "heard.wav").string();
  velmoracopy(rt, ops, {Value("echogramexportauralisation"), Value(heard)});
  EXPECT_EQ(platform::readSound(heard).samples.size(),
            static_cast<std::size_t>(std::llround(82261 * 48000.0 / 22050)) + ir.samples.size() - 1);

  // "open dry sound...": a text file is refused and the phrase stays; a WAV file becomes the fourth choice.
  std::ofstream("notes.wav") << "not a sound";
  g().setNumber(dry, "value", 3);
  ui.push(ScriptedAnswer::chosenFile((std::filesystem::current_path() / "notes.wav").string()));
  rt.click(dry);
  EXPECT_EQ(ui.shown().back().kind, "error");
  EXPECT_EQ(ui.shown().back().text.rfind("cannot read file ", 0), 0u) << ui.shown().back().text;
  EXPECT_EQ(record(w).dryChoice, 2);
  EXPECT_EQ(g().at(dry).number("value"), 2);
  g().setNumber(dry, "value", 3);
  ui.push(ScriptedAnswer::chosenFile(response));
  rt.click(dry);
  EXPECT_EQ(record(w).dryChoice, 4);
  EXPECT_EQ(record(w).dryPath, response);
  EXPECT_EQ(g().at(dry).text("string"), "click|speech|open dry sound...|response.wav");
  // The choice outlives a redraw (the receptor moved).
  g().setRow(obj(tags::kReceptor), "xdata", {9});
  velmoracopy(rt, ops, {Value("select")});
  ASSERT_EQ(record(w).xre, 9);
  EXPECT_EQ(record(w).dryChoice, 4);
  EXPECT_EQ(g().at(one(w, tags::kEchogramDry)).number("value"), 4);
}

// Every export of the windows refuses to write over a case file (the one just saved, here): the file
// keeps its bytes and the error says why, in an error box too when the file was picked in the save
// dialog (the console is out of a window user's sight). Any other existing file is replaced as before.
TEST_F(HearingTest, ExportsNeverReplaceACaseFile) {
  const std::string casePath = (std::filesystem::current_path() / "room.ac").string();
  ui.push(ScriptedAnswer::chosenFile(casePath));
  velmoracopy(rt, ops, {Value("save")});
  const auto bytes = [](const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string saved = bytes(casePath);
  ASSERT_EQ(saved.rfind("MATLAB 5.0 MAT-file", 0), 0u);
  echogramWindow();
  velmoracopy(rt, ops, {Value("roomacoustics")});
  const std::string refusal = "cannot write file " + casePath + ": it is a case file, which an export never replaces";
  const std::vector<std::vector<Value>> calls = {
      {Value("echogramexportresponse"), Value(casePath)},
      {Value("echogramexportauralisation"), Value(casePath)},
      {Value("exportmap"), Value(casePath)},
      {Value("echogramexport")},
      {Value("roomacousticsexport")},
      {Value("exportmap")},
  };
  const std::map<std::string, std::string> titles = {{"echogramexport", "Export echogram arrivals"},
                                                     {"roomacousticsexport", "Export room acoustics"},
                                                     {"exportmap", "Export audience map"}};
  for (const auto& call : calls) {
    SCOPED_TRACE(call[0].text());
    if (call.size() == 1) ui.push(ScriptedAnswer::chosenFile(casePath));
    const std::size_t shown = ui.shown().size();
    try {
      velmoracopy(rt, ops, call);
      ADD_FAILURE() << "written over the case";
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), refusal);
    }
    if (call.size() == 1) {
      ASSERT_EQ(ui.shown().size(), shown + 2);  // the save dialog, then the error box
      EXPECT_EQ(ui.shown().back().kind, "error");
      EXPECT_EQ(ui.shown().back().title, titles.at(call[0].text()));
      EXPECT_EQ(ui.shown().back().text, refusal);
    } else {
      EXPECT_EQ(ui.shown().size(), shown);  // a script's file name: the reply carries the error
    }
    EXPECT_EQ(bytes(casePath), saved);
  }
  std::ofstream("other.wav") << "an older export";
  velmoracopy(rt, ops, {Value("echogramexportresponse"), Value("other.wav")});
  EXPECT_EQ(platform::readSound("other.wav").sampleRate, 48000);
}

// A name typed in a save dialog without an extension gets the dialog's: "hall-response" is written
// as "hall-response.wav", "reverberation" as "reverberation.csv"; a name with one keeps it.
TEST_F(HearingTest, NamesTypedWithoutAnExtensionGetTheDialogs) {
  echogramWindow();
  const std::filesystem::path here = std::filesystem::current_path();
  ui.push(ScriptedAnswer::chosenFile((here / "hall-response").string()));
  velmoracopy(rt, ops, {Value("echogramexportresponse")});
  EXPECT_EQ(platform::readSound((here / "hall-response.wav").string()).sampleRate, 48000);
  EXPECT_FALSE(std::filesystem::exists(here / "hall-response"));
  velmoracopy(rt, ops, {Value("roomacoustics")});
  ui.push(ScriptedAnswer::chosenFile((here / "reverberation").string()));
  velmoracopy(rt, ops, {Value("roomacousticsexport")});
  EXPECT_TRUE(std::filesystem::exists(here / "reverberation.csv"));
  ui.push(ScriptedAnswer::chosenFile((here / "response.v2").string()));
  velmoracopy(rt, ops, {Value("echogramexportresponse")});
  EXPECT_TRUE(std::filesystem::exists(here / "response.v2"));
}

// What the echogram's buttons cannot do is said in a box, not only on the console: a dry sound whose
// file is gone since it was chosen, and a main window closed under the window (which still shows its
// last echogram).
TEST_F(HearingTest, ButtonsThatCannotWorkSayWhyInABox) {
  const Handle w = echogramWindow();
  const std::string dryPath = (std::filesystem::current_path() / "dry.wav").string();
  platform::writeWav(dryPath, std::vector<double>(4800, 0.1), 48000);
  const Handle dry = one(w, tags::kEchogramDry);
  g().setNumber(dry, "value", 3);
  ui.push(ScriptedAnswer::chosenFile(dryPath));
  rt.click(dry);
  ASSERT_EQ(record(w).dryChoice, 4);
  std::filesystem::remove(dryPath);
  rt.click(one(w, tags::kEchogramListen));
  EXPECT_EQ(shownOf("error").back(), "Listen: cannot read file " + dryPath + ": No such file or directory");
  g().setNumber(dry, "value", 1);  // the click again
  rt.click(dry);

  rt.graphics().remove(fig);
  const std::vector<std::pair<const char*, std::string>> buttons = {
      {tags::kEchogramListen, "Listen: the main window of this echogram is closed: nothing to hear"},
      {tags::kEchogramExportResponse,
       "Export impulse response: the main window of this echogram is closed: nothing to hear"},
      {tags::kEchogramExportAuralisation,
       "Export auralisation: the main window of this echogram is closed: nothing to hear"},
      {tags::kEchogramExport, "Export echogram arrivals: the main window of this echogram is closed: nothing to export"},
  };
  for (const auto& [tag, box] : buttons) {
    const std::size_t shown = ui.shown().size();
    rt.click(one(w, tag));
    ASSERT_EQ(ui.shown().size(), shown + 1) << tag;  // no save dialog
    EXPECT_EQ(shownOf("error").back(), box);
  }
}

// Called by a script with no echogram window open, the verbs of its sound and exports say so (they
// once answered "ok" and wrote nothing).
TEST_F(HearingTest, VerbsWithoutAnEchogramWindowSaySo) {
  const std::size_t shown = ui.shown().size();
  for (const char* verb : {"echogramexportresponse", "echogramexportauralisation", "echogramexport"}) {
    SCOPED_TRACE(verb);
    try {
      velmoracopy(rt, ops, verb == std::string("echogramexport") ? std::vector<Value>{Value(verb)}
                                                                  : std::vector<Value>{Value(verb), Value("out.wav")});
      ADD_FAILURE() << "no error";
    } catch (const Error& e) {
      EXPECT_EQ(std::string(e.what()), kNoEchogram);
    }
    EXPECT_FALSE(std::filesystem::exists("out.wav"));
  }
  EXPECT_THROW(velmoracopy(rt, ops, {Value("echogramlisten")}), Error);
  EXPECT_EQ(ui.shown().size(), shown);  // no save dialog asked for nothing
}

}  // namespace
}  // namespace velmora::polar
