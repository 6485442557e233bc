// The echogram's sound: the dry sound chosen, heard through the response at the receptor, played or
// written, and the response itself written.

#include <algorithm>

#include "document/window.h"
#include "hearing/convolution.h"
#include "platform/files/audio_file.h"
#include "platform/model/error.h"
#include "polar/echogram.h"
#include "polar/window_parts.h"
#include "polar/echogram_response.h"
#include "polar/speech_sample.h"

namespace velmora::polar {

using platform::Graphics;

namespace {

constexpr int kClick = 1, kSpeech = 2, kOpenFile = 3, kFile = 4;

const EchogramRecord* recordOfCall(Runtime& rt) {
  const Handle fig = echogramOfCall(rt);
  if (fig == platform::kNoHandle) return nullptr;
  return rt.graphics().at(fig).userdataAs<EchogramRecord>();
}

// The response at the receptor of the echogram's main window; its reason when refused.
hearing::ImpulseResponse responseOf(const Runtime& rt, const EchogramRecord& rec) {
  const Graphics& g = rt.graphics();
  if (!g.exists(rec.mainWindow) || !document::isMainWindow(rt, rec.mainWindow))
    throw Error("the main window of this echogram is closed: nothing to hear");
  EchogramResponse heard = echogramResponse(rt, rec.mainWindow);
  if (heard.refusal) throw Error(*heard.refusal);
  return std::move(heard.response);
}

// An export asked for from a window whose main window is closed: refused, in a box too when the
// window's button asked (the window still shows its last echogram).
void requireMainWindow(Runtime& rt, const EchogramRecord& rec, const std::optional<std::string>& path,
                       const char* title) {
  const Graphics& g = rt.graphics();
  if (g.exists(rec.mainWindow) && document::isMainWindow(rt, rec.mainWindow)) return;
  writeExport(rt, path, title, [] { throw Error("the main window of this echogram is closed: nothing to hear"); });
}

// One channel at its own rate: a single full-scale sample after 20 ms of silence, the phrase, or the file.
platform::Sound drySound(const EchogramRecord& rec) {
  if (rec.dryChoice == kSpeech) return platform::readSoundBytes(speechSample(), "phrase.flac");
  if (rec.dryChoice == kFile && !rec.dryPath.empty()) return platform::readSound(rec.dryPath);
  platform::Sound click;
  click.sampleRate = hearing::kSampleRate;
  click.channels = 1;
  click.samples.assign(hearing::kSampleRate / 2, 0.0);
  click.samples[hearing::kSampleRate / 50] = 1;
  return click;
}

std::vector<double> auralised(const Runtime& rt, const EchogramRecord& rec) {
  const platform::Sound dry = drySound(rec);
  return hearing::auralise(dry.mono(), dry.sampleRate, responseOf(rt, rec));
}

}  // namespace

void echogramdrysound(Runtime& rt) {
  Graphics& g = rt.graphics();
  const Handle fig = echogramOfCall(rt);
  const Handle menu = rt.callbackObject();
  if (fig == platform::kNoHandle || menu == platform::kNoHandle || !g.exists(menu)) return;
  const EchogramRecord* shown = g.at(fig).userdataAs<EchogramRecord>();
  if (shown == nullptr) return;
  EchogramRecord rec = *shown;
  const int choice = static_cast<int>(g.at(menu).number("value"));
  g.setNumber(menu, "value", rec.dryChoice);  // until the choice is taken
  if (choice != kOpenFile) {
    if (choice == kClick || choice == kSpeech || (choice == kFile && !rec.dryPath.empty())) rec.dryChoice = choice;
  } else {
    platform::FileDialog dialog;
    dialog.filter = "*.wav;*.flac";
    dialog.title = "Open dry sound";
    const auto file = rt.ui().openFile(dialog);
    if (!file) return;
    try {
      platform::readSound(file->path());
    } catch (const Error& e) {
      rt.ui().message(platform::MessageKind::Error, e.what(), "Open dry sound");
      return;
    }
    rec.dryPath = file->path();
    rec.dryChoice = kFile;
    g.setText(menu, "string", "click|speech|open dry sound...|" + file->file);
  }
  g.setNumber(menu, "value", rec.dryChoice);
  g.setUserdata(fig, rec);
}

void echogramlisten(Runtime& rt) {
  const EchogramRecord* rec = recordOfCall(rt);
  if (rec == nullptr) throw Error(std::string(kNoEchogram));
  platform::AudioClip clip;
  clip.sampleRate = hearing::kSampleRate;
  // Why nothing can be heard (the main window closed, the dry sound's file gone) is said in a box too.
  std::vector<double> heard;
  writeExport(rt, std::nullopt, "Listen", [&] { heard = auralised(rt, *rec); });
  for (double s : heard) clip.samples.push_back(static_cast<float>(s));
  if (const auto why = rt.ui().play(clip)) rt.ui().message(platform::MessageKind::Message, *why, "Listen");
}

void echogramexportresponse(Runtime& rt, const std::optional<std::string>& path) {
  const EchogramRecord* rec = recordOfCall(rt);
  if (rec == nullptr) throw Error(std::string(kNoEchogram));
  const char* title = "Export impulse response";
  requireMainWindow(rt, *rec, path, title);
  const hearing::ImpulseResponse ir = responseOf(rt, *rec);
  const auto file = savePath(rt, path, "*.wav", title, "response.wav");
  if (file) writeExport(rt, path, title, [&] { platform::writeWav(*file, hearing::normalised(ir.samples), ir.sampleRate); });
}

void echogramexportauralisation(Runtime& rt, const std::optional<std::string>& path) {
  const EchogramRecord* rec = recordOfCall(rt);
  if (rec == nullptr) throw Error(std::string(kNoEchogram));
  const char* title = "Export auralisation";
  requireMainWindow(rt, *rec, path, title);
  platform::Sound dry;
  writeExport(rt, path, title, [&] { dry = drySound(*rec); });  // its file may be gone since
  const std::vector<double> heard = hearing::auralise(dry.mono(), dry.sampleRate, responseOf(rt, *rec));
  const auto file = savePath(rt, path, "*.wav", title, "auralisation.wav");
  if (file) writeExport(rt, path, title, [&] { platform::writeWav(*file, heard, hearing::kSampleRate); });
}

}  // namespace velmora::polar
