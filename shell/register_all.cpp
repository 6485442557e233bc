#include "shell/register_all.h"

#include "editor/drag.h"
#include "editor/editor_operations.h"
#include "editor/placement.h"
#include "polar/polar.h"
#include "shell/case/case_record.h"
#include "shell/case_files.h"
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
  polar::registerPolarOperations(ops);
}

}  // namespace velmora::shell
