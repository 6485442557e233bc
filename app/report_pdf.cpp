#include "app/report_pdf.h"

#include "platform/qt/vector_canvases.h"

namespace velmora::app {

namespace {

class PdfReport : public ReportDocument {
 public:
  PdfReport(double widthPx, double heightPx, const std::string& title) : pdf_(widthPx, heightPx, title) {}
  platform::Canvas& canvas() override { return pdf_; }
  void newPage() override { pdf_.newPage(); }
  std::vector<std::uint8_t> finish() override { return pdf_.finish(); }

 private:
  platform::qt::PdfCanvas pdf_;
};

}  // namespace

std::unique_ptr<ReportDocument> openPdfReport(double widthPx, double heightPx, const std::string& title) {
  return std::make_unique<PdfReport>(widthPx, heightPx, title);
}

}  // namespace velmora::app
