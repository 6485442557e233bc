#pragma once
// The command line around the dispatcher's words: which front end runs, GNU-style --help and
// --version, and the words of a batch run.

#include <array>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace velmora::app {

enum class FrontEnd { Window, Automation, Batch, Help, Version, BadOption };

struct Start {
  FrontEnd frontEnd = FrontEnd::Window;
  std::vector<std::string> words;  // for the dispatcher, the automation or the batch run
  std::string problem;             // BadOption: what was wrong, one line
};

// Chooses the front end from the words after the program name. Words that do not start with "--"
// go to the dispatcher unchanged; an unknown "--" word (Qt's own options apart) is a BadOption.
Start chooseFrontEnd(const std::vector<std::string>& words);

std::string usageText();
// The folder of the sample cases: PREFIX/share/velmora/samples beside an installed program, else
// where the package puts them.
std::string samplesFolder();
std::string versionText();

// A bad word of a batch run: one line, exit status 2.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct BatchRequest {
  std::string casePath;
  std::optional<int> intervals;
  std::optional<int> order;  // reflection order, 1 to engine::kMaxOrder
  std::optional<std::array<double, 2>> source, receptor;
  std::optional<std::string> csv, polar, print, report;
  // The impulse response at the receptor (WAV), and a dry sound heard through it (read, written).
  std::optional<std::string> ir, auraliseDry, auraliseOut;
};

inline constexpr int kFewestIntervals = 10;
inline constexpr int kMostIntervals = 400;

// The words after "batch": one case file and the options (also written --option=value).
BatchRequest parseBatchWords(const std::vector<std::string>& words);

}  // namespace velmora::app
