// Case files from anywhere: the decoder and the case-description reader must refuse what they cannot
// use with a message, never crash, hang or run away with memory.

#include <cstddef>
#include <cstdint>
#include <span>

#include "document/case_record.h"
#include "platform/model/error.h"
#include "platform/files/mat5_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const velmora::platform::Value prop =
        velmora::platform::decodeMatVariable(std::span<const std::uint8_t>(data, size), "prop", "fuzz.ac");
    (void)velmora::document::CaseDescription::fromValue(prop);
  } catch (const velmora::Error&) {
    // A refusal with a message is the expected outcome for most inputs.
  }
  return 0;
}
