#pragma once

#include <string>

#include "platform/model/value.h"

namespace velmora::platform {

// Case files: one named variable in a Level 5 MAT-file. Numbers are written as real doubles, texts
// as character rows, lists as cell rows, records as 1x1 structures (fields in their order); graphics
// objects are written as their handle numbers.
//
// Writes the file fresh (never appends), through a part file of its own beside it that is renamed
// into place, so a failed or killed save leaves any earlier file whole; part files of killed saves of
// the same file are removed. Raises an Error with a clear message when it cannot.
void writeMatVariable(const std::string& path, const std::string& name, const Value& value);

// Reads one variable back. Logical, integer and single arrays read as doubles; character arrays as
// text (several rows as a list of texts); cells as lists; a 1x1 structure as a record, a structure
// array as a list of records. Raises an Error for a missing or unreadable file, a missing variable,
// or content that has no place here (sparse, complex, function handles, objects), and for damaged
// files (see decodeMatVariable, which does the reading: no size the file claims is believed).
Value readMatVariable(const std::string& path, const std::string& name);

}  // namespace velmora::platform
