#pragma once
// A report of one case for people: the plan with its audience map and colour bar, a table of the
// walls, the polar diagram at the receptor and a table of the sound arriving there, the room's
// reverberation per octave band, on A4 pages with
// the case name, the date and the program's version on each. The content is gathered and laid out
// here without Qt; the paged document it is drawn on (a PDF) comes from the program's Qt side.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "document/operations.h"
#include "platform/render/canvas.h"
#include "platform/model/runtime.h"

namespace velmora::app {

// Pages of one size in pixels at 96 per inch, drawn one after the other.
class ReportDocument {
 public:
  virtual ~ReportDocument() = default;
  virtual platform::Canvas& canvas() = 0;
  virtual void newPage() = 0;
  // The finished document's bytes; raises an Error when it could not be made.
  virtual std::vector<std::uint8_t> finish() = 0;
};
using ReportDocumentFactory =
    std::function<std::unique_ptr<ReportDocument>(double widthPx, double heightPx, const std::string& title)>;

// A4 portrait at 96 pixels per inch.
inline constexpr double kReportPageWidth = 210 / 25.4 * 96;
inline constexpr double kReportPageHeight = 297 / 25.4 * 96;

struct ReportTable {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> rows;
  // The columns' shares of the page's width; none: five columns, the first narrow and the last widest.
  std::vector<double> columns;
};

// What a report holds, all of it text except the two windows it shows.
struct ReportContent {
  std::string caseName, date, version;
  platform::Handle plan = platform::kNoHandle;  // the main window
  std::string planNote;                         // source, receptor, power, what the map shows
  ReportTable walls;
  std::optional<platform::Handle> polar;  // the polar window; none when the diagram was refused
  std::string polarNote;                  // the levels, or why there is no diagram
  // The direct sound first, then at order 1 one row per reflection by wall; above it every path that
  // the echogram shows, by delay, with its walls and order (the heading says the order).
  std::string arrivalsHeading = "Sound arriving at the receptor";
  ReportTable arrivals;
  std::vector<std::string> acousticsNotes;  // plan area, height, volume, surfaces; the materials
  ReportTable acoustics;                  // reverberation per octave band, Sabine and Eyring
};

// Gathers the report of a main window that holds a computed case, opening its polar diagram through
// the "polardiagram" operation (left open). `date` is printed as given.
ReportContent gatherReport(platform::Runtime& rt, const document::Operations& ops,
                           platform::Handle mainWindow, const std::string& date);

// Today's date as YYYY-MM-DD.
std::string todaysDate();

// Lays the report out on A4 pages and draws it; the two windows are drawn by the "printcase" and
// "printpolar" operations, so they look as they print. Returns the document's bytes.
std::vector<std::uint8_t> makeReport(platform::Runtime& rt, const document::Operations& ops,
                                     const ReportContent& content, const ReportDocumentFactory& open);

}  // namespace velmora::app
