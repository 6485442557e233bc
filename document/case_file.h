#pragma once
// Case files (".ac"): one variable "prop" holding the case description. Reading and writing them
// without a window, for the program's load and save and for callers that hold no window at all.

#include <string>
#include <string_view>

#include "document/case_record.h"

namespace velmora::document {

inline constexpr std::string_view kCaseExtension = ".ac";
inline constexpr std::string_view kCaseVariable = "prop";

// Raises "file NAME not found ..." when `name` is no regular file, and "file NAME is not a
// velmoracopy file ..." when its extension (from the last dot of the file part) is not ".ac" in any
// letter case.
void checkCaseFileName(const std::string& name);

// Reads the variable "prop" of a case file as a case description. Every problem of the file is raised
// before anything changes, the file's own limits included (map precision, zone sides, curve walls,
// animation parameters); `shown` is the file name the messages use.
CaseDescription readCaseFile(const std::string& path, const std::string& shown);

// Writes `description` as the case file `path`, fields in the order of CaseDescription::toValue. The
// file is whole or not written, and a read-only file or one that is not a regular file is refused
// (platform::writeMatVariable). A save names the case after the file it writes.
void writeCaseFile(const std::string& path, const CaseDescription& description);

}  // namespace velmora::document
