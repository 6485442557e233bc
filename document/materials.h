#pragma once
// The material library: surfaces with their absorption coefficient per octave band, read from the data
// file shipped with the program (data/materials.csv), and the bands of a wall, a floor or a ceiling.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/bands.h"

namespace velmora::document {

// The name that clears a surface's material in the material dialog.
inline constexpr std::string_view kNoMaterial = "none";
inline constexpr std::string_view kMaterialFileName = "materials.csv";

struct Material {
  std::string name;
  engine::BandValues absorption{};  // coefficient 0..1 at 125 .. 4000 Hz
  std::string source;               // where the figures come from
};

// The single absorption (percent) a material sets: the mean of its 500 Hz and 1000 Hz coefficients,
// rounded to a millionth of a percent so that it reads as the table does (2.5, not 2.5000000000000004).
double midAbsorption(const engine::BandValues& bands);

// The same value in every band: the bands of a surface known only by its absorption in percent.
engine::BandValues uniformBands(double alphaPercent);

class MaterialLibrary {
 public:
  // Reads the library's text. Lines starting with '#' and blank lines are comments; the first other
  // line is the header "name,125,250,500,1000,2000,4000,source"; then one material per line. A line
  // that does not read raises an Error "materials FILE: line N, field F: problem" (`shown` is FILE).
  static MaterialLibrary parse(std::string_view text, const std::string& shown);
  // Reads the file `path`; a missing or unreadable file raises "materials file PATH cannot be read".
  static MaterialLibrary load(const std::string& path);

  const std::vector<Material>& materials() const { return materials_; }
  // The material of this name (exact, case included); nothing when the library has none.
  const Material* find(std::string_view name) const;
  // The names containing `search` in any letter case, in library order ("" lists them all).
  std::vector<std::string> search(std::string_view text) const;
  const std::string& path() const { return path_; }

 private:
  std::vector<Material> materials_;
  std::string path_;
};

// Where the program looks for its library, first found first: the file named by the environment
// variable VELMORA_MATERIALS, share/velmora/materials.csv beside the program's folder (an installed or
// packaged program), data/materials.csv of the source tree it was built from, and the installed data
// folder.
std::vector<std::string> materialLibraryPlaces();

// The program's library, loaded on first use from the first place that exists; raises the load's
// Error (the same one on every call) when it cannot be read.
const MaterialLibrary& materialLibrary();
// The same, or nothing when it cannot be read.
const MaterialLibrary* materialLibraryIfLoaded();
// Why it cannot be read (the load's message); empty when it was read.
std::string materialLibraryProblem();

}  // namespace velmora::document
