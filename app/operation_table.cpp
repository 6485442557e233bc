#include "app/operation_table.h"

#include "animation/animation.h"
#include "dbtools/dbtools.h"
#include "document/case_operations.h"
#include "document/case_record.h"
#include "editor/drag.h"
#include "editor/editor_operations.h"
#include "editor/placement.h"
#include "editor/wall_editing.h"
#include "plan/dxf_import.h"
#include "plan/scaleplan.h"
#include "plan/scan.h"
#include "plan/shapes.h"
#include "polar/polar.h"
#include "polar/room_acoustics.h"
#include "shell/case_files.h"
#include "shell/map_export.h"
#include "shell/recent_cases.h"
#include "shell/reflection_order.h"
#include "shell/scale_bar.h"
#include "shell/shortcuts.h"
#include "shell/window_operations.h"

namespace velmora::app {

// One line per register function; each adds the operations of its folder.
void registerAllOperations(document::Operations& ops) {
  document::registerCaseOperations(ops);
  shell::registerCaseFileOperations(ops);
  shell::registerWindowOperations(ops);
  shell::registerMapExportOperations(ops);
  editor::registerEditorOperations(ops);
  editor::registerDragOperations(ops);
  editor::registerPlacementOperations(ops);
  editor::registerWallEditingOperations(ops);
  animation::registerAnimationOperations(ops);
  plan::registerScanOperations(ops);
  plan::registerScalePlanOperations(ops);
  polar::registerPolarOperations(ops);
  polar::registerRoomAcousticsOperations(ops);
  plan::registerShapeOperations(ops);
  plan::registerDxfOperations(ops);
  shell::registerShortcutOperations(ops);
  shell::registerScaleBarOperations(ops);
  shell::registerRecentCaseOperations(ops);
  shell::registerReflectionOrderOperations(ops);
  dbtools::registerDbToolsOperations(ops);
}

}  // namespace velmora::app
