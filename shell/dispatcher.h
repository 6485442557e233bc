#pragma once
// The one entry of the program: every command-line start, callback and record producer calls
// `velmoracopy`, which routes a verb to its operations, runs the verb's follow-up steps and records
// an undo step for the verbs that change the case.

#include <string>
#include <string_view>
#include <vector>

#include "document/operations.h"
#include "platform/model/runtime.h"
#include "platform/model/value.h"

namespace velmora::shell {

using document::Operations;

// Dispatches with the table of operations given (the program's from app/, or a test's own).
void velmoracopy(platform::Runtime& rt, const Operations& ops, const std::vector<platform::Value>& args);

// Makes `rt.dispatch` (and so every callback text) call velmoracopy with the table given, which must
// outlive the runtime.
void installDispatcher(platform::Runtime& rt, const Operations& ops);

// One step of a verb.
struct VerbStep {
  enum class Kind {
    Call,            // the operation `op` with `args`; skipped when `op` is not registered
    EndDrag,         // empty the window's motion and release callbacks, pointer "watch"
    ClearDrag,       // empty the window's motion and release callbacks only
    RestorePointer,  // pointer "arrow"
    TakeCancelMark,  // read and empty the window's GUI data slot; "canceled" drops the undo label
    ZoneThenInit,    // `getzonesize`; stop at once when it gives nothing, else `init` with the zone
    HideCaller,      // hide the window of the calling control, if the verb came from one
    ShowCaller,      // show it again and name its case "not saved"
  };
  Kind kind = Kind::Call;
  std::string op;
  std::vector<platform::Value> args;
};

struct Verb {
  std::string name;
  // Operations that must be registered for the verb to exist ("unknown argument" otherwise).
  std::vector<std::string> needs;
  std::vector<VerbStep> steps;
  std::string undoLabel;  // empty: no undo step
};

// The verb table, in the order of the documentation; verbs are lower case.
const std::vector<Verb>& verbTable();
const Verb* findVerb(std::string_view lowerCaseVerb);

}  // namespace velmora::shell
