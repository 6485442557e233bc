#pragma once
// The three records of a main window's case: the case record (`udf`, the window's userdata), the
// case description (`prop`, the flat record of case files, undo snapshots and `update`), the
// animation parameters, and the small object records that link the drawing objects.

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/bands.h"
#include "engine/geometry.h"
#include "engine/images.h"
#include "platform/model/graphics.h"
#include "platform/model/runtime.h"
#include "platform/model/value.h"

namespace velmora::document {

class EarlyMap;

// Limits of what a case may hold, checked before anything is built from it. Coordinates (walls,
// audience corners, source, receptor, working zone, curve points) stay within this many metres of the
// origin.
inline constexpr double kFarthestCoordinate = 1e6;
// Walls of one room: the rebuild makes 12 objects per wall and the map computation works wall by wall.
inline constexpr std::size_t kMostWalls = 1000;
// Intervals along each side of the audience map (the precision dialog's upper bound).
inline constexpr int kMostMapIntervals = 400;
// The highest room a case may describe, metres.
inline constexpr double kHighestRoom = 1000;

// A surface's material: the library's name ("" for bands of no library material) and its bands.
struct SurfaceMaterial {
  std::string name;
  engine::BandValues bands{};
  bool operator==(const SurfaceMaterial&) const = default;
};

// Settings of the last path animation; also the result of the parameters dialog.
// What an animation shows, numbered as the case file keeps it (the order of the dialog's list).
enum class AnimationType { SurfaceOnly = 1, SurfaceAndImages = 2, ImagesOnly = 3, Polar = 4 };
// Where an animation's path comes from, numbered as the case file keeps it.
enum class PathType { Previous = 1, Linear = 2, Spline = 3, Manual = 4 };

// A number read from a file is kept as read, in range or not: the case file check refuses one outside
// 1..4 with its field's name.
struct AnimationParameters {
  AnimationType animationtype = AnimationType::SurfaceOnly;
  int movingobject = 1;       // 1 source, 2 receptor
  std::vector<double> level;  // empty (automatic) or [low, high] dB
  std::vector<double> axis;   // empty (automatic) or [xmin xmax ymin ymax]
  int showpath = 1;
  PathType pathtype = PathType::Linear;
  int step = 30;
  double pause = 0;
  std::string output = "no output";
  std::optional<std::string> ptype;  // "linear", "spline" or "manual", once a path was made
  std::optional<std::vector<double>> xp, yp;
  std::optional<std::vector<double>> xpath, ypath;  // once an animation has run

  platform::Value toValue() const;
  // Missing fields keep their defaults; a field of the wrong kind raises an Error naming it.
  static AnimationParameters fromValue(const platform::Value& v);
  bool operator==(const AnimationParameters&) const = default;
};

// The flat record of one case, fields in the order `savecase` writes them. Every field may be
// absent: `update` leaves the matching part of the window as it is.
struct CaseDescription {
  std::optional<std::string> name;
  std::optional<double> height;
  std::optional<double> gsize;
  std::optional<std::array<double, 2>> xlim;
  std::optional<std::array<double, 2>> ylim;
  std::optional<std::vector<double>> xwall, ywall;  // vertex k = (xwall[k], ywall[k])
  std::optional<std::vector<double>> alpha;         // percent, one per wall
  std::optional<std::vector<double>> xaud, yaud;    // 4 corners, in order around the area
  std::optional<double> xso, yso;
  std::optional<double> xre, yre;
  std::optional<double> Lw;
  std::optional<AnimationParameters> animationparameters;
  std::optional<platform::Matrix> curves;  // one row of nine numbers per curved stretch
  std::optional<int> Nsurface;
  // Reflection order 1..engine::kMaxOrder; case files carry it only above 1 (absent reads as 1).
  std::optional<int> order;
  // Materials, written only when the case has them. Per wall (wall order): the material's name from the
  // library ("" for bands of no library material) and a row of six band coefficients 0..1 (125 to 4000
  // Hz), the two fields together and with the walls. The room's height in metres (absent: 3 m). The
  // floor's and the ceiling's material and bands, each name with its bands.
  std::optional<std::vector<std::string>> wallmaterial;
  std::optional<platform::Matrix> wallbands;  // one row per wall, six columns
  std::optional<double> roomheight;
  std::optional<std::string> floormaterial, ceilingmaterial;
  std::optional<std::vector<double>> floorbands, ceilingbands;
  // Set only by other producers, obeyed by `update`.
  std::optional<std::string> scan;             // "yes" from the scanned-plan import, "dxf" from a DXF plan
  std::optional<std::string> geometricshapes;  // "yes" from the shape generator
  bool noselectchange = false;
  bool noaudiencechange = false;

  // A record with the present fields, in the order above (flags as the number 1).
  platform::Value toValue() const;
  // Reads a record. Unknown fields are ignored; a field of the wrong kind or shape (text where numbers
  // belong, a non-finite coordinate, outline lists of different lengths, fewer than 3 vertices, an
  // audience area without exactly 4 corners) raises an Error naming the field.
  static CaseDescription fromValue(const platform::Value& v);
  // Raises an Error naming the field when a value lies beyond what a case may hold: a coordinate not
  // finite or farther than kFarthestCoordinate, a zone side that does not increase, more than kMostWalls
  // walls, an absorption outside 0..100, `Nsurface` outside 1..kMostMapIntervals, a curve row naming a
  // wall outside 1..kMostWalls, an animation step number outside 5..2000, an `order` outside
  // 1..engine::kMaxOrder, a band coefficient outside 0..1 or a band row without six values, a material
  // name the library does not list (when the library could be read), a room height not above 0 or
  // above kHighestRoom. `fromValue` checks this too;
  // the rebuild checks it again for descriptions made in the program, before it changes anything.
  void checkLimits() const;
  bool operator==(const CaseDescription&) const = default;
};

// The case record of one main window, fields in the order a new window creates them.
class CaseRecord : public platform::UserData {
 public:
  std::string name = "not saved";
  double height = 20;
  double gsize = 0.5;
  std::array<double, 2> xlim{0, 20};
  std::array<double, 2> ylim{-10, 10};
  double Lw = 100;
  double Hr = 0;
  std::string colormap = "color";  // "color" or "gray"
  std::string climmode = "auto";   // "auto" or "manual"
  std::array<double, 2> clim{0, 100};
  std::string displayvalue = "reflection";  // "reflection" or "decibel"
  std::vector<std::string> actionlist;      // undo labels, oldest first
  std::vector<CaseDescription> proplist;    // undo snapshots, parallel to actionlist
  platform::Matrix curves;                  // curve table, N-by-9; empty when no curved stretch
  std::optional<AnimationParameters> animationparameters;
  int order = 1;  // reflection order of the map, the polar diagram and the echogram
  // The room's height (absent: document::kDefaultRoomHeight) and the floor's and the ceiling's
  // material (name "" for bands of no library material; absent: no material of their own).
  std::optional<double> roomheight;
  std::optional<SurfaceMaterial> floor, ceiling;

  // Derived fields, rewritten after every change of geometry and never saved.
  std::optional<int> iscnvx;                               // checkroomconvexity
  std::optional<std::vector<int>> ang;                     // per vertex: 1 convex or straight, 0 reflex
  std::optional<engine::IndexList> ina;                    // 1-based map points outside the room
  std::optional<std::vector<engine::ImageRecord>> images;  // refreshimages: one per wall
  std::optional<std::vector<int>> iwv;
  std::optional<engine::Matrix> xwv, ywv;  // N-by-2: seen part of each wall
  std::optional<std::vector<double>> diffcoef;
  std::optional<engine::Matrix> PT, RT, Pso;  // refreshsurfacevalues: grid shaped
  std::optional<std::vector<std::vector<double>>> Pwall;
  std::optional<engine::IndexList> inDS;
  std::optional<std::vector<engine::IndexList>> inRW;
  std::optional<std::vector<std::vector<double>>> xpol, ypol;
  // Above order 1 only: one grid per order 1..N (RT and PT above count every order).
  std::optional<std::vector<engine::Matrix>> RTorder, PTorder;

  // Present ("no") while the path animation's frame loop runs: no progress bars.
  std::optional<std::string> noprogressbar;

  // During a rebuild, the map computation it started early (document/early_map.h); never saved or
  // shown.
  std::shared_ptr<EarlyMap> earlyMap;

  // Every present field, in the order above (`order` only above 1).
  platform::Value toValue() const override;
};

// The record of a new main window for zone size Z.
CaseRecord newCaseRecord(double zone);

// Grid spacing of a new window: the first entry of the zone-size table whose limit is at least Z
// (4 -> 0.1, 10 -> 0.25, 20 -> 0.5, 40 -> 1, 80 -> 2, 160 -> 4, 320 -> 8, 640 -> 16). Larger zones
// get nothing.
std::optional<double> zoneTableStep(double extent);
// The same for a new window's zone, which the zone dialog keeps in 4..640 (16 beyond).
double gsizeForZone(double zone);

// The room a new window opens with.
struct DefaultRoom {
  std::vector<double> xwall, ywall, alpha;  // four walls, counter-clockwise, absorption 0
  std::vector<double> xaud, yaud;           // four corners in order around the area
  int Nsurface = 20;
  double xso = 0, yso = 0;
  double xre = 0, yre = 0;
};
DefaultRoom defaultRoom(double zone);

// Object records: the userdata of the drawing objects that link to their neighbours.
struct WallRecord : platform::UserData {
  std::array<platform::Handle, 2> con{platform::kNoHandle, platform::kNoHandle};  // start, end vertex marker
  double alpha = 0;                                                               // absorption, percent
  // The wall's material, when one was chosen (or read from a case): its bands drive the reverberation;
  // `alpha` stays the map's single absorption. Without one the wall absorbs alpha/100 in every band.
  std::optional<SurfaceMaterial> material;
  platform::Value toValue() const override;
};
// Links of a marker or audience edge: `con` holds two object handles.
struct LinkRecord : platform::UserData {
  std::array<platform::Handle, 2> con{platform::kNoHandle, platform::kNoHandle};
  platform::Value toValue() const override;
};
struct VertexRecord : LinkRecord {};          // wall k-1 (wall N for k = 1), wall k
struct AudienceEdgeRecord : LinkRecord {};    // corner k, corner k+1
struct AudienceCornerRecord : LinkRecord {};  // edge k-1 (edge 4 for k = 1), edge k

}  // namespace velmora::document
