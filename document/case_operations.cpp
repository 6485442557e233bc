#include "document/case_operations.h"

#include "document/case_record.h"
#include "document/window.h"

namespace velmora::document {

void resetcurves(platform::Runtime& rt) {
  const Handle fig = currentMainWindow(rt);
  CaseRecord udf = readCase(rt, fig);
  if (udf.curves.empty()) return;
  udf.curves = platform::Matrix{};
  storeCase(rt, fig, std::move(udf));
}

void registerCaseOperations(Operations& ops) {
  ops.add({"resetcurves", 0, 0, 1, [](platform::Runtime& rt, const std::vector<Value>&) {
             resetcurves(rt);
             return std::vector<Value>{};
           }});
}

}  // namespace velmora::document
