#pragma once
// Reading Level 5 MAT-files, the container of case files, from untrusted bytes.
//
// Our own decoder rather than the MAT library's reader: that reader believes the sizes a file claims
// (it allocates what a damaged length asks for, reads past field-name tables and text data, recurses
// without a bound), so one changed byte of a case file could take the program down. Here every size
// is checked against the bytes that are really there before anything is allocated, nesting and the
// unpacked size are bounded, and the time is linear in the size of the file.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/model/value.h"

namespace velmora::platform {

// A case file holds a few kilobytes (a room of 100,000 walls takes 4 MB); a file, or the unpacked
// content of its compressed variables, beyond this size is refused. It also bounds the memory a
// decode takes: every value stands on at least eight bytes of the file.
inline constexpr std::size_t kMatMaxBytes = std::size_t{16} << 20;
// Records and lists inside one another; a case description needs three levels.
inline constexpr int kMatMaxDepth = 64;

// Decodes the variable `name` of the Level 5 MAT-file in `bytes` (uncompressed or with
// zlib-compressed variables, either byte order). Values come back as `readMatVariable` describes.
// Throws an Error whose message starts with "file " + `shown`: "... cannot be read" for bytes that
// are no MAT-file, "... holds no variable NAME", "... is damaged: ..." for sizes that do not fit,
// "... is too large ...", and the HDF5-based container (version 7.3) is refused by name.
Value decodeMatVariable(std::span<const std::uint8_t> bytes, const std::string& name, const std::string& shown);

}  // namespace velmora::platform
