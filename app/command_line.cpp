#include "app/command_line.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <set>
#include <string_view>

#include "engine/beams.h"
#include "platform/model/numbers.h"
#include "platform/files/output_file.h"
#include "platform/automation/protocol_line.h"
#include "shell/case_files.h"
#include "shell/print_case.h"

namespace velmora::app {

namespace {

// A word quoted in a message: cut to a line's worth.
std::string cited(const std::string& word) {
  return "'" + velmora::platform::excerpt(word) + "'";
}

// Qt takes these out of the command line itself, with one dash or two.
bool isQtOption(std::string_view word) {
  static const std::set<std::string_view> qt = {
      "platform", "platformpluginpath", "platformtheme", "plugin",  "qwindowgeometry", "qwindowicon",
      "qwindowtitle", "reverse", "session", "style", "stylesheet", "widgetcount", "display", "geometry",
      "name", "title", "visual", "nograb", "dograb"};
  word.remove_prefix(2);
  if (word.starts_with("qmljsdebugger=")) return true;
  return qt.contains(word.substr(0, word.find('=')));
}

bool isOption(std::string_view word) {
  return word.size() > 2 && word.starts_with("--");
}

std::optional<double> readNumber(std::string_view text) {
  double v = 0;
  // from_chars ignores the locale; a leading '+' is not a number to it, so allow it here.
  if (text.starts_with('+')) text.remove_prefix(1);
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::array<double, 2> readPoint(const std::string& option, const std::string& text) {
  const auto comma = text.find(',');
  if (comma != std::string::npos) {
    const auto x = readNumber(std::string_view(text).substr(0, comma));
    const auto y = readNumber(std::string_view(text).substr(comma + 1));
    if (x && y) return {*x, *y};
  }
  throw UsageError(option + " needs X,Y in metres (such as 3.5,-2), not " + cited(text));
}

int readIntervals(const std::string& text) {
  int n = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (ec != std::errc() || end != text.data() + text.size() || n < kFewestIntervals || n > kMostIntervals) {
    throw UsageError("--intervals needs a whole number from " + std::to_string(kFewestIntervals) + " to " +
                     std::to_string(kMostIntervals) + ", not " + cited(text));
  }
  return n;
}

int readOrder(const std::string& text) {
  int n = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (ec != std::errc() || end != text.data() + text.size() || n < 1 || n > velmora::engine::kMaxOrder) {
    throw UsageError("--order needs a whole number from 1 to " + std::to_string(velmora::engine::kMaxOrder) +
                     ", not " + cited(text));
  }
  return n;
}

bool endsWith(std::string_view name, std::string_view extension) {
  if (name.size() <= extension.size()) return false;
  std::string ext(name.substr(name.size() - extension.size()));
  for (char& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return ext == extension;
}

bool endsWithPdf(std::string_view name) {
  return endsWith(name, ".pdf");
}

// A sound written by a batch run: a WAV file, or "-" for standard output.
void requireWav(const std::string& option, const std::string& file) {
  if (file != "-" && !endsWith(file, ".wav"))
    throw UsageError(option + " writes a WAV file, whose name ends in .wav, not " + cited(file));
}

// The print formats that a batch run writes, one per extension: a name the window would print as
// JPEG under another extension (or with ".jpg" appended) is refused rather than mislabelled.
void requirePrintExtension(const std::string& file) {
  const std::string extension = velmora::platform::lower(velmora::shell::splitFileName(file).extension);
  std::string known;
  for (const char* e : velmora::shell::kPrintExtensions) {
    if (extension == e) return;
    known += std::string(known.empty() ? "" : ", ") + e;
  }
  throw UsageError("--print writes the format of its file's extension (" + known + "), not " + cited(file));
}

// Outputs that would replace the case file, or that name one file twice: refused before anything runs.
void requireDistinctOutputs(const BatchRequest& r) {
  const std::pair<const char*, const std::optional<std::string>*> outputs[] = {
      {"--csv", &r.csv},       {"--polar", &r.polar}, {"--print", &r.print},
      {"--report", &r.report}, {"--ir", &r.ir},       {"--auralise", &r.auraliseOut}};
  for (std::size_t i = 0; i < std::size(outputs); ++i) {
    const auto& [option, name] = outputs[i];
    if (!*name) continue;
    if (velmora::platform::sameOutputFile(**name, r.casePath))
      throw UsageError(std::string(option) + " " + cited(**name) + " would replace the case file");
    for (std::size_t j = i + 1; j < std::size(outputs); ++j) {
      const auto& [other, otherName] = outputs[j];
      if (*otherName && velmora::platform::sameOutputFile(**name, **otherName))
        throw UsageError(std::string(option) + " and " + other + " name the same file " +
                         cited(**otherName));
    }
  }
}

}  // namespace

Start chooseFrontEnd(const std::vector<std::string>& words) {
  if (words.empty()) return {FrontEnd::Window, {}, {}};
  const std::string& first = words.front();
  const std::vector<std::string> rest(words.begin() + 1, words.end());
  if (first == "--help" || first == "-h") return {FrontEnd::Help, {}, {}};
  if (first == "--version") return {FrontEnd::Version, {}, {}};
  if (first == "--automation") return {FrontEnd::Automation, rest, {}};
  if (first == "batch") return {FrontEnd::Batch, rest, {}};
  if (first == "--open") {
    if (rest.size() > 1) return {FrontEnd::BadOption, {}, "--open takes one case file"};
    if (rest.empty()) return {FrontEnd::Window, {}, {}};
    return {FrontEnd::Window, {"load", rest.front()}, {}};
  }
  Start start{FrontEnd::Window, {}, {}};
  bool optionsEnded = false;
  for (const std::string& w : words) {
    if (!optionsEnded && w == "--") {
      optionsEnded = true;  // what follows is handed on even if it starts with "--"
      continue;
    }
    if (!optionsEnded && isOption(w) && !isQtOption(w)) {
      return {FrontEnd::BadOption, {}, "unrecognized option '" + w + "'"};
    }
    start.words.push_back(w);
  }
  return start;
}

BatchRequest parseBatchWords(const std::vector<std::string>& words) {
  BatchRequest r;
  bool haveCase = false;
  for (std::size_t i = 0; i < words.size(); ++i) {
    const std::string& w = words[i];
    if (!isOption(w)) {
      if (haveCase) {
        throw UsageError("one case file per run, not also " + cited(w) + " (run one process per case)");
      }
      if (w.empty()) throw UsageError("the case file name is empty");
      r.casePath = w;
      haveCase = true;
      continue;
    }
    std::string option = w;
    std::optional<std::string> value;
    if (const auto eq = w.find('='); eq != std::string::npos) {
      option = w.substr(0, eq);
      value = w.substr(eq + 1);
    }
    static const std::set<std::string> known = {"--intervals", "--order", "--source", "--receptor", "--csv",
                                                "--polar",     "--print", "--report", "--ir",       "--auralise"};
    if (!known.contains(option)) throw UsageError("unrecognized option " + cited(option));
    if (option == "--auralise") {
      // Two words: the dry sound read, the file written.
      if (value || i + 2 >= words.size() || words[i + 1].empty() || words[i + 2].empty())
        throw UsageError("--auralise needs two file names: DRY.wav OUT.wav");
      r.auraliseDry = words[++i];
      r.auraliseOut = words[++i];
      requireWav(option, *r.auraliseOut);
      continue;
    }
    if (!value) {
      if (i + 1 >= words.size()) throw UsageError(option + " needs a value");
      value = words[++i];
    }
    if (option == "--intervals") {
      r.intervals = readIntervals(*value);
    } else if (option == "--order") {
      r.order = readOrder(*value);
    } else if (option == "--source" || option == "--receptor") {
      (option == "--source" ? r.source : r.receptor) = readPoint(option, *value);
    } else {
      if (value->empty()) throw UsageError(option + " needs a file name");
      // A slip such as "--report hall.ac" must not overwrite a case file with a PDF.
      if (option == "--report" && !endsWithPdf(*value)) {
        throw UsageError("--report writes a PDF file, whose name ends in .pdf, not " + cited(*value));
      }
      if (option == "--ir") requireWav(option, *value);
      (option == "--csv"     ? r.csv
       : option == "--polar" ? r.polar
       : option == "--print" ? r.print
       : option == "--ir"    ? r.ir
                             : r.report) = *value;
    }
  }
  if (!haveCase) throw UsageError("a case file is needed: velmora batch CASE.ac [options]");
  requireDistinctOutputs(r);
  if (r.print) requirePrintExtension(*r.print);
  return r;
}

std::string samplesFolder() {
  // Installed beside the program: PREFIX/bin/velmora and PREFIX/share/velmora/samples.
  std::error_code ec;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    const std::filesystem::path installed = program.parent_path().parent_path() / "share" / "velmora" / "samples";
    if (std::filesystem::is_directory(installed, ec)) return installed.lexically_normal().string();
  }
  return "/usr/share/velmora/samples";
}

std::string usageText() {
  // Appended piece by piece: GCC 12's -Wrestrict misreads "..." + std::string at -O3.
  std::string text = R"(Usage: velmora [WORD...]
  or:  velmora --open [CASE.ac]
  or:  velmora batch CASE.ac [--intervals N] [--order N] [--source X,Y]
                     [--receptor X,Y] [--csv MAP.csv] [--polar LEVELS.csv] [--print FILE]
                     [--report REPORT.pdf] [--ir RESPONSE.wav]
                     [--auralise DRY.wav OUT.wav]
  or:  velmora --automation
Room acoustics in plan: draw a room, place a source and a receptor, and see the
first-order reflections, the sound level over the audience and a polar diagram.

Without a word, asks for the size of the drawing zone and opens a main window.
Words are handed to the program as one command: 'load ROOM.ac' opens a case
file, a verb such as 'init' runs it.

      --open [CASE.ac]    open a case file in a new window (as 'load CASE.ac')
      --automation        serve JSON requests, one per line, on standard input
  -h, --help              display this help and exit
      --version           output version information and exit

A batch run loads one case, recomputes it and writes the files asked for, with
no window and no dialog; a failure ends it with one line on standard error.
      --intervals N       audience map precision: N intervals a side (10 to 400)
      --order N           reflection order (1 to 6): paths of up to N walls count
      --source X,Y        move the source to X,Y (metres)
      --receptor X,Y      move the receptor to X,Y (metres)
      --csv MAP.csv       the audience map, one row per grid point
      --polar LEVELS.csv  the sound arriving at the receptor: level, delay, angle
                          (the echogram's export writes the same table)
      --print FILE        the main window, in the format of FILE's extension
      --report REPORT.pdf a PDF report: the plan and map, the walls, the polar
                          diagram and the sound arriving at the receptor
      --ir RESPONSE.wav   the impulse response at the receptor (48 kHz WAV)
      --auralise DRY.wav OUT.wav
                          the sound of DRY.wav (WAV or FLAC) as the receptor
                          hears it, through that response
Files are written all together at the end, or none is; --csv -, --polar -,
--ir - and --auralise DRY.wav - write to standard output. Without an output option, one line on what the
receptor hears goes to standard output.

Examples, with the sample cases of )";
  const std::string samples = samplesFolder();
  text += samples;
  text += "\n(samples/ in the source tree):\n  velmora --open ";
  text += samples;
  text += "/hall.ac\n  velmora batch ";
  text += samples;
  text += "/l-room.ac --csv map.csv --polar arrivals.csv\n  velmora batch ";
  text += samples;
  text += R"(/hall.ac --report hall.pdf

The windows need a display; batch runs and --automation do not.
Exit status: 0 if OK, 1 if a batch run failed, a case file given at start-up
could not be read or there is no display, 2 for a bad option or word.
)";
  return text;
}

std::string versionText() {
  return "velmora " VELMORA_VERSION R"(
Copyright (C) 2026 The VELMORA developers.
License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.
This is free software: you are free to change and redistribute it.
There is NO WARRANTY, to the extent permitted by law.
)";
}

}  // namespace velmora::app
