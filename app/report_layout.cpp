// The pages of a report: a header (case, date) and a footer (program, page) on each, the plan and the
// wall table, then the polar diagram and the arrivals table, then the reverberation table. Pages are planned first, so that every
// footer can say how many there are, then drawn.

#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "app/report.h"
#include "platform/model/error.h"
#include "platform/render/placed_canvas.h"
#include "platform/render/render.h"

namespace velmora::app {

using platform::Canvas;
using platform::Font;
using platform::FontWeight;
using platform::Handle;
using platform::PixelRect;
using platform::Point;
using platform::Rgb;
using platform::Value;

namespace {

constexpr double kMargin = 56;  // about 15 mm
constexpr double kContentWidth = kReportPageWidth - 2 * kMargin;
constexpr double kTop = 92;                              // below the header
constexpr double kBottom = kReportPageHeight - 80;       // above the footer
constexpr double kRow = 16;                              // one table row or note line
constexpr double kHeading = 34;                          // a heading with space above it
constexpr double kPlanHeight = 560, kPolarHeight = 400;  // largest heights of the two windows

const Font kBody{"", 12};
const Font kBold{"", 12, FontWeight::Bold};
const Font kTitle{"", 16, FontWeight::Bold};
const Font kSmall{"", 11};
const Rgb kBlack{0, 0, 0};
const Rgb kGrey{0.35, 0.35, 0.35};
const Rgb kRule{0.6, 0.6, 0.6};
const Rgb kShade{0.92, 0.92, 0.92};

// Column widths of the tables as shares of the content width unless a table has its own: the wall (or
// "direct (blocked)"), the values, and the last column widest.
constexpr double kColumns[] = {0.2, 0.16, 0.16, 0.18, 0.3};

enum class Kind { Heading, Note, Plan, Polar, TableHeader, TableRow };

struct Item {
  Kind kind;
  double y = 0, height = 0;
  std::string text;
  const ReportTable* table = nullptr;
  std::size_t row = 0;
};
using Page = std::vector<Item>;

// The size of a window in pixels, from its position.
std::pair<double, double> windowSize(const platform::Graphics& g, Handle fig) {
  const auto pos = g.at(fig).numbers("position");
  if (pos.size() < 4 || pos[2] <= 0 || pos[3] <= 0) throw Error("a window to report has no size");
  return {pos[2], pos[3]};
}

double fittedHeight(const platform::Graphics& g, Handle fig, double maxHeight) {
  const auto [w, h] = windowSize(g, fig);
  return h * std::min({1.0, kContentWidth / w, maxHeight / h});
}

class Planner {
 public:
  // A heading stays with the first `keep` pixels of what follows it.
  void heading(const std::string& text, double keep) {
    need(kHeading + keep);
    put({Kind::Heading, 0, kHeading, text});
  }
  void note(const std::string& text) { put({Kind::Note, 0, kRow, text}); }
  void window(Kind kind, double height) {
    need(height + 8);
    put({kind, 0, height + 8, {}, nullptr, 0});
  }
  // A table whose header row is repeated on every page it runs onto.
  void table(const ReportTable& t) {
    need(2 * kRow);
    put({Kind::TableHeader, 0, kRow, {}, &t});
    for (std::size_t r = 0; r < t.rows.size(); ++r) {
      if (y_ + kRow > kBottom) {
        newPage();
        put({Kind::TableHeader, 0, kRow, {}, &t});
      }
      put({Kind::TableRow, 0, kRow, {}, &t, r});
    }
    y_ += kRow / 2;
  }
  void newPage() {
    pages_.emplace_back();
    y_ = kTop;
  }
  std::vector<Page> pages() && { return std::move(pages_); }

 private:
  void need(double height) {
    if (y_ + height > kBottom && !pages_.back().empty()) newPage();
  }
  void put(Item item) {
    item.y = y_;
    y_ += item.height;
    pages_.back().push_back(item);
  }
  std::vector<Page> pages_{1};
  double y_ = kTop;
};

std::vector<Page> planPages(const platform::Graphics& g, const ReportContent& c) {
  Planner p;
  const double plan = fittedHeight(g, c.plan, kPlanHeight);
  p.heading("Room plan and audience map", kRow + plan);
  p.note(c.planNote);
  p.window(Kind::Plan, plan);
  p.heading("Walls", 2 * kRow);
  p.table(c.walls);
  // The diagram follows the walls on the same page when it fits there; its table may run on.
  const double polar = c.polar ? fittedHeight(g, *c.polar, kPolarHeight) : 0;
  p.heading("Polar diagram at the receptor", kRow + polar + 8);
  p.note(c.polarNote);
  if (c.polar) {
    p.window(Kind::Polar, polar);
    p.heading(c.arrivalsHeading, 2 * kRow);
    p.table(c.arrivals);
  }
  // Six bands: the table stays whole with its heading and notes rather than leave a row on a page
  // of its own.
  p.heading("Reverberation by octave band", (c.acousticsNotes.size() + 1 + c.acoustics.rows.size()) * kRow);
  for (const std::string& note : c.acousticsNotes) p.note(note);
  p.table(c.acoustics);
  return std::move(p).pages();
}

// A PrintService that draws the window it is asked to print into a rectangle of the page: the
// report's windows go through the program's own print operations and look as they print.
class PageCapture : public platform::PrintService {
 public:
  PageCapture(const platform::Graphics& g, Canvas& page, PixelRect rect) : g_(g), page_(page), rect_(rect) {}
  void print(Handle figure, const std::string&, const std::string&) override {
    const auto [w, h] = windowSize(g_, figure);
    platform::PlacedCanvas placed(page_, w, h, rect_);
    platform::renderFigure(g_, figure, placed, platform::RenderOptions{true});
    page_.setClip(std::nullopt);
    printed = true;
  }
  bool printed = false;

 private:
  const platform::Graphics& g_;
  Canvas& page_;
  PixelRect rect_;
};

void drawWindow(platform::Runtime& rt, const document::Operations& ops, Canvas& page, const Item& item,
                Handle fig, const char* operation) {
  const PixelRect rect{kMargin, item.y + 4, kContentWidth, item.height - 8};
  PageCapture capture(rt.graphics(), page, rect);
  platform::PrintService* previous = rt.printService();
  rt.setPrintService(&capture);
  rt.graphics().setCurrentFigure(fig);
  try {
    ops.call(rt, operation, {Value(std::string("./")), Value(std::string("report.pdf"))});
  } catch (...) {
    rt.setPrintService(previous);
    throw;
  }
  rt.setPrintService(previous);
  if (!capture.printed) throw Error(std::string(operation) + " drew nothing for the report");
}

void textAt(Canvas& c, double x, double baseline, const std::string& s, const Font& f, const Rgb& colour,
            bool alignRight = false) {
  const double dx = alignRight ? c.measureText(s, f).width : 0;
  c.text(Point{x - dx, baseline}, s, f, colour, 0);
}

void rule(Canvas& c, double y, const Rgb& colour, double width = 0.75) {
  const Point line[2] = {{kMargin, y}, {kMargin + kContentWidth, y}};
  c.polyline(line, platform::Stroke{colour, width});
}

void drawTableRow(Canvas& c, const ReportTable& t, const std::vector<std::string>& cells, double y, bool header,
                  bool shaded) {
  if (shaded) {
    const Point box[4] = {
        {kMargin, y}, {kMargin + kContentWidth, y}, {kMargin + kContentWidth, y + kRow}, {kMargin, y + kRow}};
    c.polygon(box, kShade, std::nullopt);
  }
  const std::span<const double> columns = t.columns.empty() ? std::span<const double>(kColumns) : t.columns;
  double x = kMargin + 6;
  for (std::size_t i = 0; i < cells.size() && i < columns.size(); ++i) {
    textAt(c, x, y + kRow - 4, cells[i], header ? kBold : kBody, kBlack);
    x += columns[i] * kContentWidth;
  }
  if (header) rule(c, y + kRow, kBlack);
}

void drawFrame(Canvas& c, const ReportContent& content, std::size_t page, std::size_t pages) {
  textAt(c, kMargin, 52, "Case " + content.caseName, kTitle, kBlack);
  textAt(c, kMargin + kContentWidth, 52, content.date, kBody, kGrey, true);
  rule(c, 62, kBlack, 1);
  const double foot = kReportPageHeight - 48;
  rule(c, foot - 16, kRule);
  textAt(c, kMargin, foot, "velmora " + content.version + "  -  report of case " + content.caseName, kSmall,
         kGrey);
  textAt(c, kMargin + kContentWidth, foot,
         "page " + std::to_string(page + 1) + " of " + std::to_string(pages), kSmall, kGrey, true);
}

}  // namespace

std::vector<std::uint8_t> makeReport(platform::Runtime& rt, const document::Operations& ops,
                                     const ReportContent& content, const ReportDocumentFactory& open) {
  if (!open) throw Error("reports cannot be written by this program");
  const std::vector<Page> pages = planPages(rt.graphics(), content);
  const auto doc = open(kReportPageWidth, kReportPageHeight, "VELMORA report - " + content.caseName);
  Canvas& c = doc->canvas();
  for (std::size_t p = 0; p < pages.size(); ++p) {
    if (p > 0) doc->newPage();
    drawFrame(c, content, p, pages.size());
    for (const Item& item : pages[p]) {
      switch (item.kind) {
        case Kind::Heading:
          textAt(c, kMargin, item.y + kHeading - 10, item.text, kTitle, kBlack);
          break;
        case Kind::Note:
          textAt(c, kMargin, item.y + kRow - 4, item.text, kBody, kBlack);
          break;
        case Kind::Plan:
          drawWindow(rt, ops, c, item, content.plan, "printcase");
          break;
        case Kind::Polar:
          drawWindow(rt, ops, c, item, *content.polar, "printpolar");
          break;
        case Kind::TableHeader:
          drawTableRow(c, *item.table, item.table->header, item.y, true, false);
          break;
        case Kind::TableRow:
          drawTableRow(c, *item.table, item.table->rows[item.row], item.y, false, item.row % 2 == 1);
          break;
      }
    }
  }
  rt.graphics().setCurrentFigure(content.plan);
  return doc->finish();
}

}  // namespace velmora::app
