#include "shell/register_all.h"

#include "dbtools/dbtools.h"
#include "animation/animation.h"
#include "editor/drag.h"
#include "editor/editor_operations.h"
#include "editor/placement.h"
#include "editor/wall_editing.h"
#include "plan/dxf_import.h"
#include "plan/scaleplan.h"
#include "plan/scan.h"
#include "plan/shapes.h"
#include "polar/polar.h"
#include "shell/case/case_record.h"
#include "shell/case_files.h"
#include "shell/recent_cases.h"
#include "shell/scale_bar.h"
#include "shell/shortcuts.h"
#include "shell/window_operations.h"

namespace velmora::shell {

// One line per folder; each folder's function adds the operations that have landed there.
void registerAllOperations(Operations& ops) {
  registerCaseOperations(ops);
  registerCaseFileOperations(ops);
  registerWindowOperations(ops);
  editor::registerEditorOperations(ops);
  editor::registerDragOperations(ops);
  editor::registerPlacementOperations(ops);
  editor::registerWallEditingOperations(ops);
  animation::registerAnimationOperations(ops);
  plan::registerScanOperations(ops);
  plan::registerScalePlanOperations(ops);
  polar::registerPolarOperations(ops);
  plan::registerShapeOperations(ops);
  plan::registerDxfOperations(ops);
  registerShortcutOperations(ops);
  registerScaleBarOperations(ops);
  registerRecentCaseOperations(ops);
  dbtools::registerDbToolsOperations(ops);
}

}  // namespace velmora::shell
