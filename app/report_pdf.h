#pragma once
// The PDF document a report is drawn on (Qt's PDF writer; texts stay searchable text).

#include "app/report.h"

namespace velmora::app {

std::unique_ptr<ReportDocument> openPdfReport(double widthPx, double heightPx, const std::string& title);

}  // namespace velmora::app
