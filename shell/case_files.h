#pragma once
// Case files (".ac": one variable "prop" holding the case description) and the undo history built
// from them: every recorded action saves the case to "temporarysave.ac" and reads it back.

#include <optional>
#include <string>
#include <string_view>

#include "document/case_file.h"
#include "document/case_record.h"
#include "document/operations.h"
#include "platform/model/runtime.h"
#include "platform/model/value.h"

namespace velmora::shell {

using document::CaseDescription;
using document::CaseRecord;
using document::Operations;

using document::kCaseExtension;
using document::kCaseVariable;
inline constexpr std::string_view kTemporarySaveName = "temporarysave";
inline constexpr std::string_view kTemporarySaveFile = "temporarysave.ac";

// The parts of a file name: folder (with its trailing separator, or empty), base name and extension
// (from the last dot of the file part, dot included; empty when there is none).
struct FileNameParts {
  std::string folder;
  std::string base;
  std::string extension;
};
FileNameParts splitFileName(const std::string& name);

// The case description of a main window as a case file holds it, named `name`: the working zone and
// grid from the case record, walls in wall order, audience corners as the drawing area lists them,
// source, receptor, `Lw`, animation parameters and curves when there are any, and the map precision.
CaseDescription describeCase(const platform::Runtime& rt, platform::Handle fig, const std::string& name);

// Writes the current case to `filename` without a question, or asks for a file when none is given.
void savecase(platform::Runtime& rt, const Operations& ops, const std::optional<std::string>& filename);
// Reads a case file into the current main window and restarts its history; asks for a file when none
// is given.
void loadcase(platform::Runtime& rt, const Operations& ops, const std::optional<std::string>& filename);
// The current case saved to "temporarysave.ac" in the current folder and read back; nothing when
// the file could not be written.
std::optional<platform::Value> getcurrentprop(platform::Runtime& rt, const Operations& ops);
// Shows the history list on the current main window and restores the chosen snapshot.
void history(platform::Runtime& rt, const Operations& ops);

// The entries of the history list: "cancel", then the snapshots newest first as "label (N walls)".
std::vector<std::string> historyEntries(const CaseRecord& record);

// Registers savecase (1 input), loadcase (1 input), getcurrentprop (1 output) and history.
void registerCaseFileOperations(Operations& ops);

}  // namespace velmora::shell
