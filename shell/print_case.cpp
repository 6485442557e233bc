#include "shell/print_case.h"

#include "document/tags.h"
#include "document/window.h"
#include "platform/model/error.h"
#include "platform/model/numbers.h"
#include "platform/model/ui.h"

namespace velmora::shell {

using namespace velmora::document;

using platform::Graphics;
using platform::Handle;

namespace {

// The extension of a file name, dot included; nothing when the name has none.
std::optional<std::string> extensionOf(const std::string& file) {
  const auto slash = file.find_last_of("/\\");
  const auto dot = file.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::nullopt;
  return platform::lower(file.substr(dot));
}

// PDF, SVG and PNG are written as such; every other name keeps the classic device choice.
std::optional<PrintTarget> pdfSvgPngTarget(const std::optional<std::string>& ext, const std::string& file) {
  if (ext == ".pdf") return PrintTarget{"-dpdf", file};
  if (ext == ".svg") return PrintTarget{"-dsvg", file};
  if (ext == ".png") return PrintTarget{"-dpng", file};
  return std::nullopt;
}

// The resolution of a PNG picture: asked when the file was chosen in a dialog. Nothing on cancel or on
// an answer that is not one of the offered resolutions (which is said in a message).
std::optional<int> pngResolution(platform::Runtime& rt, bool ask) {
  if (!ask) return kDefaultPngResolution;
  platform::InputDialog dialog;
  dialog.prompts = {"Resolution in dpi (96, 150, 300 or 600):"};
  dialog.title = "PNG resolution";
  dialog.defaults = {std::to_string(kDefaultPngResolution)};
  const auto answer = rt.ui().input(dialog);
  if (!answer || answer->empty()) return std::nullopt;
  const auto numbers = platform::readNumbers(answer->front());
  if (numbers && numbers->size() == 1) {
    for (int dpi : kPngResolutions) {
      if (numbers->front() == dpi) return dpi;
    }
  }
  rt.ui().message(platform::MessageKind::Error,
                  "The PNG resolution must be 96, 150, 300 or 600 dpi; nothing was written.",
                  "PNG resolution");
  return std::nullopt;
}

// Writes the window for a target; a PNG without a resolution is not written.
// `title`: the save dialog's when the file was picked there (a failure is then shown in an error box
// of that title too, since a window's user does not see the console), else null.
void printTo(platform::Runtime& rt, Handle fig, const PrintTarget& target, const std::string& path,
             const char* title) {
  try {
    if (target.device != "-dpng") return rt.print(fig, target.device, path);
    if (const auto dpi = pngResolution(rt, title != nullptr))
      rt.print(fig, target.device + " -r" + std::to_string(*dpi), path);
  } catch (const Error& e) {
    if (title != nullptr) rt.ui().message(platform::MessageKind::Error, e.what(), title);
    throw;
  }
}

std::optional<platform::FileChoice> chooseFile(platform::Runtime& rt,
                                               const std::optional<std::string>& folder,
                                               const std::optional<std::string>& file, const char* title) {
  if (folder && file) return platform::FileChoice{*folder, *file};
  platform::FileDialog dialog;
  dialog.filter = kPrintFilter;
  dialog.title = title;
  return rt.ui().saveFile(dialog);
}

void setAll(Graphics& g, const std::vector<Handle>& objects, const char* prop, const char* value) {
  for (Handle h : objects) g.setText(h, prop, value);
}

// Print colours of the main window, and their restoration.
struct CaseColours {
  platform::Runtime& rt;
  Handle fig;

  void prepare(bool gray) {
    Graphics& g = rt.graphics();
    if (gray) {
      if (auto source = findInWindow(rt, fig, tags::kSource)) {
        g.setText(*source, "markerfacecolor", "k");
        g.setText(*source, "markeredgecolor", "w");
      }
    }
    setAll(g, objectsByTag(rt, fig, tags::kWallVertex), "visible", "off");
    setAll(g, objectsByTag(rt, fig, tags::kImage), "color", "k");
    setAll(g, objectsByTag(rt, fig, tags::kRadius), "color", "k");
  }
  void restore() {
    Graphics& g = rt.graphics();
    if (!g.exists(fig)) return;
    if (auto source = findInWindow(rt, fig, tags::kSource)) {
      g.setText(*source, "markerfacecolor", "r");
      g.setText(*source, "markeredgecolor", "k");
    }
    setAll(g, objectsByTag(rt, fig, tags::kWallVertex), "visible", "on");
    setAll(g, objectsByTag(rt, fig, tags::kImage), "color", "b");
    setAll(g, objectsByTag(rt, fig, tags::kRadius), "color", "b");
  }
};

std::vector<Handle> inAxes(const Graphics& g, Handle fig, const char* axesTag, const char* tag) {
  std::vector<Handle> out;
  for (Handle axes : g.findobj(fig, axesTag)) {
    for (Handle h : g.findobj(axes, tag)) out.push_back(h);
  }
  return out;
}

}  // namespace

PrintTarget casePrintTarget(const std::string& file, bool colour) {
  const auto ext = extensionOf(file);
  if (!ext) return {"-djpeg90", file + ".jpg"};
  if (auto modern = pdfSvgPngTarget(ext, file)) return *modern;
  if (*ext == ".bmp") return {"-dbmp", file};
  if (*ext == ".hpg") return {"-dhpgl", file};
  if (*ext == ".pcx") return {"-dpcx24b", file};
  if (*ext == ".ps") return {colour ? "-dpsc2" : "-dps2", file};
  if (*ext == ".tif") return {"-dtiff", file};
  return {"-djpeg90", file};
}

PrintTarget polarPrintTarget(const std::string& file) {
  const auto ext = extensionOf(file);
  if (!ext) return {"-djpeg90", file + ".jpg"};
  if (auto modern = pdfSvgPngTarget(ext, file)) return *modern;
  if (*ext == ".bmp") return {"-dbitmap", file};
  if (*ext == ".hpg") return {"-dhpgl", file};
  if (*ext == ".pcx") return {"-dpcx24b", file};
  if (*ext == ".ps") return {"-dpsc2", file};
  if (*ext == ".tif") return {"-dtiff", file};
  return {"-djpeg90", file};
}

void printcase(platform::Runtime& rt, const std::optional<std::string>& folder,
               const std::optional<std::string>& file) {
  const Handle fig = currentMainWindow(rt);
  const CaseRecord record = readCase(rt, fig);
  CaseColours colours{rt, fig};
  colours.prepare(platform::equalsIgnoreCase(record.colormap, "gray"));
  try {
    const char* title = "Print current case";
    const auto choice = chooseFile(rt, folder, file, title);
    if (choice) {
      const PrintTarget target = casePrintTarget(choice->file, record.colormap == "color");
      printTo(rt, fig, target, choice->folder + target.file, folder && file ? nullptr : title);
    }
  } catch (...) {
    // A failed print leaves the window as it was before.
    colours.restore();
    throw;
  }
  colours.restore();
}

void printpolar(platform::Runtime& rt, const std::optional<std::string>& folder,
                const std::optional<std::string>& file) {
  Graphics& g = rt.graphics();
  const Handle fig = g.currentFigure();
  if (fig == platform::kNoHandle || !platform::equalsIgnoreCase(g.at(fig).tag(), tags::kPolarWindow)) return;
  const char* title = "Print current polar diagram";
  const auto choice = chooseFile(rt, folder, file, title);
  if (!choice) return;

  const auto directRadius = inAxes(g, fig, tags::kPolarAxes1, tags::kPolarDirectRadius);
  const auto direct = inAxes(g, fig, tags::kPolarAxes1, tags::kPolarDirect);
  const auto miniatureSource = inAxes(g, fig, tags::kPolarAxes2, tags::kPolarSource);
  setAll(g, directRadius, "color", "k");
  const PrintTarget target = polarPrintTarget(choice->file);
  const bool plotter = target.device == "-dhpgl";
  if (plotter) {
    // A plotter draws no filled round markers: squares stand in for them.
    setAll(g, direct, "marker", "square");
    setAll(g, miniatureSource, "marker", "square");
    for (Handle h : miniatureSource) g.setNumber(h, "markersize", 3);
  }
  const auto restore = [&] {
    setAll(g, directRadius, "color", "r");
    if (plotter) {
      setAll(g, direct, "marker", "o");
      setAll(g, miniatureSource, "marker", ".");
      for (Handle h : miniatureSource) g.setNumber(h, "markersize", 6);
    }
  };
  try {
    printTo(rt, fig, target, choice->folder + target.file, folder && file ? nullptr : title);
  } catch (...) {
    restore();
    throw;
  }
  restore();
}

void printechogram(platform::Runtime& rt, const std::optional<std::string>& folder,
                   const std::optional<std::string>& file) {
  const Handle fig = rt.graphics().currentFigure();
  if (fig == platform::kNoHandle || rt.graphics().at(fig).tag() != tags::kEchogramWindow) return;
  const char* title = "Print echogram";
  const auto choice = chooseFile(rt, folder, file, title);
  if (!choice) return;
  const PrintTarget target = polarPrintTarget(choice->file);
  printTo(rt, fig, target, choice->folder + target.file, folder && file ? nullptr : title);
}

}  // namespace velmora::shell
