#include <algorithm>
#include <cmath>
#include <filesystem>

#include "animation/animation.h"
#include "document/drawing_objects.h"
#include "document/window.h"
#include "platform/model/numbers.h"

namespace velmora::animation {

using document::createObject;
using platform::Graphics;
using platform::ObjectType;
using platform::Value;

namespace {

constexpr double kWidth = 400, kHeight = 235;
constexpr double kRowStep = 25, kRowHeight = 20;
constexpr const char* kCallback = "velmoracopy('animcasecb')";
constexpr const char* kGrab = "velmoracopy('animcasegrab')";
// The window manager's close request does nothing: only "proceed" and "cancel" end the dialog.
constexpr const char* kNoClose = "set(gcf,'tag','animparam')";
// The appdata where the proceed and cancel buttons leave their tag.
constexpr const char* kEndedBy = "animparamendedby";

double round1(double v) {
  return platform::roundHalfAway(v * 10) / 10;
}
// Clamps, a NaN taking the lower bound.
double clampTo(double v, double lo, double hi) {
  if (std::isnan(v)) return lo;
  return std::clamp(v, lo, hi);
}

std::string joined(const std::vector<double>& v) {
  std::string s;
  for (double d : v) {
    // Appended piece by piece: GCC 12's -Wrestrict misreads "..." + std::string at -O3.
    if (!s.empty()) s += ' ';
    s += platform::formatNumber(d);
  }
  return s;
}

// The first number of a text, when it reads as numbers and has one that is not NaN.
std::optional<double> firstNumber(std::string_view text) {
  const auto numbers = platform::readNumbers(text);
  if (!numbers || numbers->empty() || std::isnan(numbers->front())) return std::nullopt;
  return numbers->front();
}

std::string textOf(const Graphics& g, Handle h) {
  const Value v = g.get(h, "string");
  return v.isText() ? v.text() : std::string();
}

double valueOf(const Graphics& g, Handle h, double otherwise) {
  const auto v = g.at(h).numbers("value");
  return v.empty() || std::isnan(v.front()) ? otherwise : v.front();
}

std::optional<Handle> inDialog(const Graphics& g, Handle dialog, std::string_view tag) {
  const auto found = g.findobj(dialog, tag);
  if (found.empty()) return std::nullopt;
  return found.front();
}

double rowY(int row) {
  return kHeight - 5 - kRowStep * row;
}

Handle control(Graphics& g, Handle dialog, std::string style, std::string tag, const Value& string,
               std::array<double, 4> position, std::string tooltip, std::string callback) {
  return createObject(g, ObjectType::UiControl, dialog,
                      {{"style", Value(std::move(style))},
                       {"tag", Value(std::move(tag))},
                       {"string", string},
                       {"units", "pixels"},
                       {"position", Value::row({position[0], position[1], position[2], position[3]})},
                       {"tooltipstring", Value(std::move(tooltip))},
                       {"callback", Value(std::move(callback))}});
}

void label(Graphics& g, Handle dialog, int row, const std::string& text) {
  createObject(g, ObjectType::UiControl, dialog,
               {{"style", "text"},
                {"string", Value(text)},
                {"units", "pixels"},
                {"horizontalalignment", "right"},
                {"position", Value::row({5, rowY(row) - 3, 120, kRowHeight})}});
}

Handle makeDialog(Runtime& rt, const AnimationParameters& p) {
  auto& g = rt.graphics();
  const auto [sw, sh] = rt.ui().screenSize();
  const Handle dialog = g.create(ObjectType::Figure, platform::kRoot);
  const Value background = g.get(dialog, "color");
  document::setProperties(g, dialog,
                          {{"name", "Animation parameters"},
                           {"tag", Value(std::string(kDialogTag))},
                           {"position", Value::row({(sw - kWidth) / 2, (sh - kHeight) / 2, kWidth, kHeight})},
                           {"menubar", "none"},
                           {"resize", "off"},
                           {"numbertitle", "off"},
                           {"windowstyle", "modal"},
                           {"closerequestfcn", kNoClose},
                           {"interruptible", "off"},
                           {"defaultuicontrolfontsize", 10.0},
                           {"defaultuicontrolfontweight", "light"},
                           {"defaultuicontrolbackgroundcolor", background}});

  constexpr double x = 135, w = 255, grabW = 20;
  label(g, dialog, 1, "Animation type");
  Handle h =
      control(g, dialog, "popupmenu", "animationtype", "surface only|surface & images|images only|polar",
              {x, rowY(1), w, kRowHeight}, "Select animation type", "");
  g.set(h, "value", Value(static_cast<double>(static_cast<int>(p.animationtype))));
  label(g, dialog, 2, "Moving object");
  h = control(g, dialog, "popupmenu", "movingobject", "source|receptor", {x, rowY(2), w, kRowHeight},
              "Select moving object (only for polar animation)", "");
  g.set(h, "value", Value(static_cast<double>(p.movingobject)));

  label(g, dialog, 3, "dB level");
  h = control(g, dialog, "edit", "level", Value(joined(p.level)), {x, rowY(3), w - grabW - 5, kRowHeight},
              "Set dB level limits manually (Vmin Vmax)", kCallback);
  g.setText(h, "horizontalalignment", "left");
  control(g, dialog, "pushbutton", "grablevel", ".", {x + w - grabW, rowY(3), grabW, kRowHeight},
          "Grab dB level limits from \"Animation summary\" window", kGrab);
  label(g, dialog, 4, "axis limits");
  h = control(g, dialog, "edit", "axis", Value(joined(p.axis)), {x, rowY(4), w - grabW - 5, kRowHeight},
              "Set axis limits manually (Xmin Xmax Ymin Ymax)", kCallback);
  g.setText(h, "horizontalalignment", "left");
  control(g, dialog, "pushbutton", "grabaxis", ".", {x + w - grabW, rowY(4), grabW, kRowHeight},
          "Grab axis limits from \"Animation summary\" window", kGrab);
  label(g, dialog, 5, "step number");
  control(g, dialog, "edit", "step", Value(platform::formatNumber(p.step)), {x, rowY(5), w, kRowHeight},
          "Set animation step number", kCallback);
  label(g, dialog, 6, "pause (sec)");
  control(g, dialog, "edit", "pause", Value(platform::formatNumber(p.pause)), {x, rowY(6), w, kRowHeight},
          "Set pause time between steps", kCallback);

  h = control(g, dialog, "checkbox", "showpath", "show path", {25, rowY(7), 100, kRowHeight},
              "Display source or receptor path during animation (not for polar diagrams)", "");
  g.set(h, "value", Value(p.showpath != 0 ? 1.0 : 0.0));
  h = control(g, dialog, "popupmenu", "pathtype", "previous path (if available)|linear|spline|manual",
              {x, rowY(7), w, kRowHeight}, "Select path type", "");
  g.set(h, "value", Value(static_cast<double>(static_cast<int>(p.pathtype))));
  control(g, dialog, "pushbutton", "output", Value(p.output), {x, rowY(8), w, kRowHeight},
          "Set output name for graphic sequence (only if you plan to create an animation file such as AVI)",
          kCallback);
  control(g, dialog, "pushbutton", "proceed", "proceed", {x, rowY(9), w / 2 - 3, kRowHeight},
          "Continue the animation creation", kCallback);
  control(g, dialog, "pushbutton", "cancel", "cancel", {x + w / 2 + 3, rowY(9), w / 2 - 3, kRowHeight},
          "Cancel the animation creation", kCallback);
  return dialog;
}

int wholeIn(double v, int lo, int hi, int otherwise) {
  if (std::isnan(v)) return otherwise;
  const double r = std::round(v);
  return r < lo || r > hi ? otherwise : static_cast<int>(r);
}

}  // namespace

// ---- field corrections ---------------------------------------------------------------------------

std::string correctedLevel(std::string_view text) {
  const auto v = platform::readNumbers(text);
  if (!v || v->size() != 2) return "";
  std::vector<double> level(2);
  for (std::size_t i = 0; i < 2; ++i) level[i] = clampTo(std::abs(round1((*v)[i])), 0, 200);
  if (level[1] < level[0] - 1) return "";
  return joined(level);
}

std::string correctedAxis(std::string_view text) {
  const auto v = platform::readNumbers(text);
  if (!v || v->size() != 4) return "";
  std::vector<double> axis(4);
  for (std::size_t i = 0; i < 4; ++i) {
    if (!std::isfinite((*v)[i])) return "";  // a view needs finite limits
    axis[i] = round1((*v)[i]);
  }
  if (axis[1] < axis[0] - 1 || axis[3] < axis[2] - 1) return "";
  return joined(axis);
}

std::string correctedStep(std::string_view text) {
  const auto v = firstNumber(text);
  if (!v) return "30";
  return platform::formatNumber(std::clamp(std::abs(platform::roundHalfAway(*v)), 5.0, 2000.0));
}

std::string correctedPause(std::string_view text) {
  const auto v = firstNumber(text);
  if (!v) return "0";
  return platform::formatNumber(std::clamp(std::abs(round1(*v)), 0.0, 2.0));
}

// ---- the dialog ----------------------------------------------------------------------------------

std::optional<AnimationParameters> getanimparameter(Runtime& rt,
                                                    const std::optional<AnimationParameters>& previous) {
  auto& g = rt.graphics();
  const AnimationParameters shown = previous.value_or(AnimationParameters{});
  const auto main = document::findMainWindow(rt);
  const Handle dialog = makeDialog(rt, shown);
  const Handle hidden = createObject(g, ObjectType::UiControl, dialog,
                                     {{"style", "pushbutton"}, {"tag", "hiddenbutton"}, {"visible", "off"}});
  rt.waitfor(hidden);

  const auto restoreMain = [&] {
    if (main && g.exists(*main)) g.setCurrentFigure(*main);
  };
  if (!g.exists(dialog)) {
    restoreMain();
    return std::nullopt;
  }
  const Value* endedBy = g.at(dialog).appData(kEndedBy);
  // A wait that ended any other way (no more input can come) counts as cancel.
  if (g.exists(hidden) || endedBy == nullptr || !endedBy->isText() || endedBy->text() == "cancel") {
    g.remove(dialog);
    restoreMain();
    return std::nullopt;
  }

  AnimationParameters p = shown;
  const auto field = [&](std::string_view tag) { return inDialog(g, dialog, tag); };
  if (auto h = field("animationtype")) p.animationtype = static_cast<document::AnimationType>(wholeIn(valueOf(g, *h, 1), 1, 4, 1));
  if (auto h = field("movingobject")) p.movingobject = wholeIn(valueOf(g, *h, 1), 1, 2, 1);
  if (auto h = field("pathtype")) p.pathtype = static_cast<document::PathType>(wholeIn(valueOf(g, *h, 2), 1, 4, 2));
  if (auto h = field("showpath")) p.showpath = valueOf(g, *h, 1) != 0 ? 1 : 0;
  // The texts are read as numbers; a field left uncorrected is corrected now.
  if (auto h = field("level"))
    p.level = platform::readNumbers(correctedLevel(textOf(g, *h))).value_or(std::vector<double>{});
  if (auto h = field("axis"))
    p.axis = platform::readNumbers(correctedAxis(textOf(g, *h))).value_or(std::vector<double>{});
  if (auto h = field("step")) p.step = static_cast<int>(*firstNumber(correctedStep(textOf(g, *h))));
  if (auto h = field("pause")) p.pause = *firstNumber(correctedPause(textOf(g, *h)));
  if (auto h = field("output")) {
    const std::string out = textOf(g, *h);
    p.output = out.empty() ? "no output" : out;
  }
  if (previous) {
    p.xpath = previous->xpath;
    p.ypath = previous->ypath;
    p.xp = previous->xp;
    p.yp = previous->yp;
    p.ptype = previous->ptype;
  }
  g.remove(dialog);
  restoreMain();
  return p;
}

void animcasecb(Runtime& rt) {
  auto& g = rt.graphics();
  const Handle caller = rt.callbackObject();
  if (caller == platform::kNoHandle || !g.exists(caller)) return;
  const Handle dialog = g.figureOf(caller);
  if (dialog == platform::kNoHandle || g.at(dialog).tag() != kDialogTag) return;
  const std::string tag = g.at(caller).tag();
  const std::string text = textOf(g, caller);
  if (tag == "level") {
    g.setText(caller, "string", correctedLevel(text));
  } else if (tag == "axis") {
    g.setText(caller, "string", correctedAxis(text));
  } else if (tag == "step") {
    g.setText(caller, "string", correctedStep(text));
  } else if (tag == "pause") {
    g.setText(caller, "string", correctedPause(text));
  } else if (tag == "output") {
    platform::FileDialog chooser;
    chooser.title = "Select animation name";
    chooser.defaultName = "Untitled.anim";
    if (text != "no output" && !text.empty()) {
      const std::filesystem::path folder = std::filesystem::path(text).parent_path();
      if (!folder.empty()) chooser.defaultName = (folder / "Untitled.anim").string();
    }
    const auto choice = rt.ui().saveFile(chooser);
    if (!choice || choice->file.empty()) {
      g.setText(caller, "string", "no output");
    } else {
      g.setText(caller, "string", choice->folder + std::filesystem::path(choice->file).stem().string());
    }
  } else if (tag == "proceed" || tag == "cancel") {
    g.setAppData(dialog, kEndedBy, Value(tag));
    if (const auto hidden = inDialog(g, dialog, "hiddenbutton")) g.remove(*hidden);
  }
}

void animcasegrab(Runtime& rt) {
  auto& g = rt.graphics();
  const Handle caller = rt.callbackObject();
  if (caller == platform::kNoHandle || !g.exists(caller)) return;
  const Handle dialog = g.figureOf(caller);
  if (dialog == platform::kNoHandle) return;
  const std::string which = g.at(caller).tag();
  if (which != "grablevel" && which != "grabaxis") return;

  std::optional<Handle> summary;
  for (Handle f : g.figures()) {
    if (g.at(f).text("name") == kSummaryName) {
      summary = f;
      break;
    }
  }
  if (!summary) return;
  const auto texts = g.findIf(*summary, [&](const platform::GraphicsObject& o) {
    if (o.type() != ObjectType::Text) return false;
    const Handle axes = g.ancestor(o.handle(), ObjectType::Axes);
    return axes != platform::kNoHandle && g.at(axes).tag().empty();
  });
  if (texts.empty()) return;
  const Value s = g.get(texts.back(), "string");
  std::vector<std::string> lines;
  if (s.isList()) {
    for (const Value& item : s.list().items) lines.push_back(item.isText() ? item.text() : "");
  } else if (s.isText()) {
    std::size_t start = 0;
    while (true) {
      const std::size_t nl = s.text().find('\n', start);
      lines.push_back(s.text().substr(start, nl == std::string::npos ? std::string::npos : nl - start));
      if (nl == std::string::npos) break;
      start = nl + 1;
    }
  }
  if (lines.size() != 6) return;
  const std::string& line = which == "grablevel" ? lines[3] : lines[4];
  const std::size_t from = which == "grablevel" ? 9 : 12;
  std::string rest = line.size() > from ? line.substr(from) : "";
  rest.erase(0, rest.find_first_not_of(' ') == std::string::npos ? rest.size() : rest.find_first_not_of(' '));
  if (!platform::readNumbers(rest)) return;
  if (const auto field = inDialog(g, dialog, which == "grablevel" ? "level" : "axis")) {
    g.setText(*field, "string", rest);
  }
}

}  // namespace velmora::animation
