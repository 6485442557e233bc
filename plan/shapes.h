#pragma once
// The geometric shape generator: rooms whose outline follows a circle, an ellipse, a parabola or a
// logarithmic spiral, with the source and receptor where the curve focuses the sound. The new room
// goes to the display rebuild and restarts the history as "geometric shape".

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/case_record.h"
#include "document/operations.h"
#include "platform/model/runtime.h"

namespace velmora::plan {

enum class Shape { Circle, Ellipse, Parabola, Spiral };

// The shape named by a menu item label: "circle", "ellipse", "parabola", "logarithmic spiral".
std::optional<Shape> shapeFromLabel(std::string_view label);

// Named application data of the main window: the five texts of the last spiral built.
inline constexpr std::string_view kSpiralAppData = "LogarithmicSpiral";

// The input dialog of a shape: title, prompts and the default texts.
struct ShapeDialog {
  std::string title;
  std::vector<std::string> prompts;
  std::vector<std::string> defaults;
};
ShapeDialog shapeDialog(Shape shape);

// A generated room: the outline counter-clockwise, absorption per wall (empty: every wall 0), source
// and receptor.
struct ShapeRoom {
  std::vector<double> x, y;
  std::vector<double> alpha;
  double xso = 0, yso = 0;
  double xre = 0, yre = 0;
};

// The wall number as every shape takes it: rounded, then kept in [4, 360].
int clampWallNumber(double n);

ShapeRoom circleRoom(double diameter, int walls);
ShapeRoom ellipseRoom(double greatDiameter, double smallDiameter, int walls);
ShapeRoom parabolaRoom(double curvature, double width, int walls);

// The spiral's values as they are used: radius and inclination as absolute values, initial angle in
// [-90, 90] degrees, aperture as absolute value in [20, 360] degrees, wall number in [4, 360].
struct SpiralParameters {
  double radius = 10;
  double inclination = 75;
  double angle = 45;
  double aperture = 120;
  int walls = 30;
  static SpiralParameters accepted(double radius, double inclination, double angle, double aperture,
                                   double walls);
  // The five texts remembered for the next dialog.
  std::array<std::string, 5> texts() const;
};
// Raises an Error when the inclination is not greater than the angular step between vertices.
ShapeRoom spiralRoom(const SpiralParameters& p);

// Why an outline makes no room (non-finite or coincident vertices, crossing walls, no enclosed area
// or clockwise order); nothing when it is a proper room.
std::optional<std::string> outlineProblem(const std::vector<double>& x, const std::vector<double>& y);

// The case description handed to the rebuild: outline, absorptions, source, receptor, the map
// resolution 50 (except for the spiral, which keeps the window's) and the "geometricshapes" mark.
document::CaseDescription shapeDescription(const ShapeRoom& room, Shape shape);

// The operation: reads the label of the calling menu item, asks for the shape's values and replaces
// the room of the current main window.
void geometricshapes(platform::Runtime& rt, const document::Operations& ops);

// Registers geometricshapes (no inputs, no outputs).
void registerShapeOperations(document::Operations& ops);

}  // namespace velmora::plan
