#include "shell/case_files.h"

#include <cmath>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "document/acoustics.h"
#include "document/case_file.h"
#include "document/room_acoustics.h"
#include "document/tags.h"
#include "document/window.h"
#include "platform/model/error.h"
#include "platform/model/graphics.h"
#include "platform/files/matfile.h"
#include "platform/model/numbers.h"
#include "platform/model/ui.h"
#include "shell/recent_cases.h"
#include "shell/update.h"

namespace velmora::shell {

using namespace velmora::document;

using platform::Graphics;
using platform::Handle;
using platform::Value;

namespace {

namespace fs = std::filesystem;

constexpr const char* kSaveTitle = "Save current case";
constexpr const char* kLoadTitle = "Load an existing case";
constexpr const char* kCaseFilter = "*.ac";
constexpr const char* kHistoryCallback = "guidata(gcf,get(gcbo,'value'));delete(gcbo)";

bool isRegularFile(const std::string& name) {
  std::error_code ec;
  return !name.empty() && fs::is_regular_file(fs::path(name), ec);
}

std::string currentFolder() {
  std::error_code ec;
  const fs::path p = fs::current_path(ec);
  if (ec) throw Error("the current folder cannot be read: " + ec.message());
  return p.string();
}

void changeFolder(const std::string& folder) {
  if (folder.empty()) return;
  std::error_code ec;
  fs::current_path(fs::path(folder), ec);
  if (ec) throw Error("cannot change to folder " + folder + ": " + ec.message());
}

// The one object with this tag in the drawing area.
Handle drawingObject(const platform::Runtime& rt, Handle fig, std::string_view tag) {
  const auto found = objectsByTag(rt, fig, tag);
  if (found.empty()) throw Error("object " + std::string(tag) + " not found");
  return found.front();
}

}  // namespace

FileNameParts splitFileName(const std::string& name) {
  FileNameParts parts;
  const auto slash = name.find_last_of('/');
  std::string file = name;
  if (slash != std::string::npos) {
    parts.folder = name.substr(0, slash + 1);
    file = name.substr(slash + 1);
  }
  const auto dot = file.find_last_of('.');
  if (dot == std::string::npos) {
    parts.base = file;
  } else {
    parts.base = file.substr(0, dot);
    parts.extension = file.substr(dot);
  }
  return parts;
}

CaseDescription describeCase(const platform::Runtime& rt, Handle fig, const std::string& name) {
  const Graphics& g = rt.graphics();
  const CaseRecord record = readCase(rt, fig);
  CaseDescription d;
  d.name = name;
  d.height = record.height;
  d.gsize = record.gsize;
  d.xlim = record.xlim;
  d.ylim = record.ylim;

  std::vector<double> xwall, ywall;
  for (Handle wall : wallsInWallOrder(rt, fig)) {
    const engine::Point p = firstPoint(rt, wall);
    xwall.push_back(p.x);
    ywall.push_back(p.y);
  }
  d.xwall = std::move(xwall);
  d.ywall = std::move(ywall);
  d.alpha = wallAbsorptions(rt, fig);

  // As the drawing area lists the corners: newest first, corner 4 down to corner 1.
  std::vector<double> xaud, yaud;
  for (Handle corner : objectsByTag(rt, fig, tags::kAudienceVertex)) {
    const engine::Point p = firstPoint(rt, corner);
    xaud.push_back(p.x);
    yaud.push_back(p.y);
  }
  d.xaud = std::move(xaud);
  d.yaud = std::move(yaud);

  const engine::Point source = firstPoint(rt, drawingObject(rt, fig, tags::kSource));
  d.xso = source.x;
  d.yso = source.y;
  const engine::Point receptor = firstPoint(rt, drawingObject(rt, fig, tags::kReceptor));
  d.xre = receptor.x;
  d.yre = receptor.y;
  d.Lw = record.Lw;
  if (record.animationparameters) d.animationparameters = record.animationparameters;
  if (!record.curves.empty()) d.curves = record.curves;
  // Files written at order 1 stay as they were: the field only above it.
  if (record.order > 1) d.order = record.order;

  const Handle map = drawingObject(rt, fig, tags::kAudienceMap);
  d.Nsurface = audienceMapIntervals(g, map);
  // Materials, height, floor and ceiling: only what the case has, after every field of before.
  describeMaterials(rt, fig, d);
  return d;
}

void savecase(platform::Runtime& rt, const Operations& ops, const std::optional<std::string>& filename) {
  const Handle fig = currentMainWindow(rt);
  std::string path;
  std::string base;
  std::optional<std::string> chosenFolder;
  if (!filename) {
    const auto choice = rt.ui().saveFile({kCaseFilter, kSaveTitle, ""});
    if (!choice || choice->file.empty()) return;
    const FileNameParts parts = splitFileName(choice->file);
    std::string file = choice->file;
    if (parts.extension != kCaseExtension) {
      file += kCaseExtension;
      // The chooser only warned about the name as typed: ask again for the name really written.
      if (fs::exists(fs::path(choice->folder + file))) {
        const auto answer = rt.ui().question(
            {" File " + file + " already exist. Overwrite ?", "Confirm", {"Yes", "No"}, "No"});
        if (!answer || !platform::equalsIgnoreCase(*answer, "yes")) return;
      }
    }
    path = choice->folder + file;
    base = parts.base;
    chosenFolder = choice->folder;
  } else {
    path = *filename;
    base = splitFileName(path).base;
  }

  try {
    writeCaseFile(path, describeCase(rt, fig, base));
  } catch (const Error& e) {
    // Picked in the dialog: the window's user must see that the case was not saved (closing the
    // window next would lose it), not only the console.
    if (!filename) rt.ui().message(platform::MessageKind::Error, e.what(), kSaveTitle);
    throw;
  }
  noteRecentCase(rt, path);
  // Later snapshots and dialogs start in the folder of the file just written.
  if (chosenFolder) changeFolder(*chosenFolder);

  if (!platform::equalsIgnoreCase(base, kTemporarySaveName)) {
    CaseRecord record = readCase(rt, fig);
    record.name = base;
    storeCase(rt, fig, std::move(record));
  }
  ops.call(rt, "selectvalue");  // shows the case name above the drawing
}

void loadcase(platform::Runtime& rt, const Operations& ops, const std::optional<std::string>& filename) {
  std::string path;
  std::string base;
  std::string shown;
  std::optional<std::string> chosenFolder;
  if (filename) {
    const FileNameParts parts = splitFileName(*filename);
    checkCaseFileName(*filename);
    // The extension keeps its letters: on a case-sensitive file system "ROOM.AC" is not "ROOM.ac".
    const std::string folder = parts.folder.empty() ? currentFolder() + "/" : parts.folder;
    path = folder + parts.base + parts.extension;
    base = parts.base;
    shown = *filename;
  } else {
    const auto choice = rt.ui().openFile({kCaseFilter, kLoadTitle, ""});
    if (!choice) return;
    const FileNameParts parts = splitFileName(choice->file);
    if (parts.extension != kCaseExtension) return;
    path = choice->path();
    base = parts.base;
    shown = path;
    chosenFolder = choice->folder;
  }

  const Handle fig = currentMainWindow(rt);
  CaseDescription prop;
  try {
    prop = readCaseFile(path, shown);
  } catch (const Error& e) {
    // Picked in the dialog: why nothing opened is said in a box too.
    if (!filename) rt.ui().message(platform::MessageKind::Error, e.what(), kLoadTitle);
    throw;
  }
  if (!prop.order) prop.order = 1;  // a file without the field is a first-order case
  const std::string folderBefore = currentFolder();
  if (chosenFolder) changeFolder(*chosenFolder);

  CaseRecord record = readCase(rt, fig);
  const auto animationBefore = record.animationparameters;
  record.animationparameters.reset();
  storeCase(rt, fig, std::move(record));

  try {
    update(rt, ops, prop);
  } catch (...) {
    // The rebuild put the window back as it was; the animation and the folder go back with it.
    CaseRecord kept = readCase(rt, fig);
    kept.animationparameters = animationBefore;
    storeCase(rt, fig, std::move(kept));
    if (chosenFolder) changeFolder(folderBefore);
    throw;
  }

  // Named before the snapshot, whose save shows the name above the drawing.
  record = readCase(rt, fig);
  record.name = base;
  record.Hr = 0;
  storeCase(rt, fig, std::move(record));

  const auto snapshot = getcurrentprop(rt, ops);
  record = readCase(rt, fig);
  if (snapshot) {
    record.actionlist = {"case " + base + " loaded"};
    record.proplist = {CaseDescription::fromValue(*snapshot)};
  } else {
    // The old entries are snapshots of another case.
    record.actionlist.clear();
    record.proplist.clear();
  }
  if (prop.animationparameters) record.animationparameters = prop.animationparameters;
  storeCase(rt, fig, std::move(record));
  noteRecentCase(rt, path);
}

std::optional<Value> getcurrentprop(platform::Runtime& rt, const Operations& ops) {
  const std::string path = (fs::path(currentFolder()) / std::string(kTemporarySaveFile)).string();
  try {
    savecase(rt, ops, path);
  } catch (const Error& e) {
    // An older snapshot may still lie there: never hand it out as the current case.
    rt.console(std::string("no undo snapshot: ") + e.what());
    return std::nullopt;
  }
  if (!isRegularFile(path)) return std::nullopt;
  return platform::readMatVariable(path, std::string(kCaseVariable));
}

std::vector<std::string> historyEntries(const CaseRecord& record) {
  const std::size_t count = std::min(record.actionlist.size(), record.proplist.size());
  std::vector<std::string> entries{"cancel"};
  for (std::size_t i = count; i-- > 0;) {
    const auto& walls = record.proplist[i].xwall;
    const std::size_t n = walls ? walls->size() : 0;
    entries.push_back(record.actionlist[i] + " (" + std::to_string(n) + " walls)");
  }
  return entries;
}

void history(platform::Runtime& rt, const Operations& ops) {
  Graphics& g = rt.graphics();
  const Handle fig = currentMainWindow(rt);
  // The lists as shown: later actions only append, so a choice keeps its meaning during the wait.
  const CaseRecord record = readCase(rt, fig);
  const std::size_t count = std::min(record.actionlist.size(), record.proplist.size());
  if (count <= 1) return;

  platform::List items;
  for (std::string& entry : historyEntries(record)) items.items.emplace_back(std::move(entry));
  takeGuiData(rt, fig);  // a stale hand-back must not pass for the choice
  const Handle list = g.create(platform::ObjectType::UiControl, fig);
  g.setText(list, "style", "listbox");
  g.setText(list, "units", "normalized");
  g.setRow(list, "position", {0.3, 0.3, 0.4, 0.4});
  g.setNumber(list, "fontsize", 12);
  g.set(list, "string", Value(std::move(items)));
  g.setNumber(list, "value", 1);
  g.setText(list, "callback", kHistoryCallback);

  rt.waitfor(list);
  if (g.exists(list)) {
    // The wait ended without a choice (no more input can come): nothing to restore.
    g.remove(list);
    takeGuiData(rt, fig);
    return;
  }
  const auto chosen = takeGuiData(rt, fig);
  if (!chosen || !chosen->isScalar()) return;
  const double v = chosen->scalar();
  if (!(v >= 1 && v <= static_cast<double>(count + 1)) || v != std::floor(v)) return;
  const auto position = static_cast<std::size_t>(v);
  if (position == 1) return;  // "cancel"

  // Position 2 is the newest snapshot, the last one.
  CaseDescription snapshot = record.proplist[count + 1 - position];
  snapshot.Nsurface.reset();  // the window keeps its map precision
  snapshot.name.reset();      // and its case name
  // A snapshot without curves was taken when the room had none; the curves of a later room must not
  // survive into it.
  if (!snapshot.curves) snapshot.curves = platform::Matrix{};
  if (!snapshot.order) snapshot.order = 1;  // and one without an order was taken at order 1
  if (g.exists(fig)) g.setCurrentFigure(fig);
  update(rt, ops, snapshot);
}

void registerCaseFileOperations(Operations& ops) {
  const Operations* table = &ops;
  const auto fileArgument = [](const std::vector<Value>& args,
                               const char* operation) -> std::optional<std::string> {
    if (args.empty()) return std::nullopt;
    if (!args[0].isText()) throw Error(std::string(operation) + ": the file name must be a text");
    return args[0].text();
  };
  ops.add({"savecase", 1, 0, 1, [table, fileArgument](platform::Runtime& rt, const std::vector<Value>& args) {
             savecase(rt, *table, fileArgument(args, "savecase"));
             return std::vector<Value>{};
           }});
  ops.add({"loadcase", 1, 0, 1, [table, fileArgument](platform::Runtime& rt, const std::vector<Value>& args) {
             loadcase(rt, *table, fileArgument(args, "loadcase"));
             return std::vector<Value>{};
           }});
  ops.add({"getcurrentprop", 0, 1, 1, [table](platform::Runtime& rt, const std::vector<Value>&) {
             const auto prop = getcurrentprop(rt, *table);
             return std::vector<Value>{prop ? *prop : Value(platform::Matrix{})};
           }});
  ops.add({"history", 0, 0, 1, [table](platform::Runtime& rt, const std::vector<Value>&) {
             history(rt, *table);
             return std::vector<Value>{};
           }});
}

}  // namespace velmora::shell
