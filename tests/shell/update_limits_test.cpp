// The rebuild of a window from a description, driven through the automation protocol: values beyond
// the limits of a case are refused with their message before anything changes, and a rebuild that
// fails half-way (out of memory included) leaves the case record and every object as they were.

#include <cmath>
#include <functional>
#include <new>
#include <string>

#include "support/automation_request.h"
#include "support/main_window.h"

namespace velmora::shell {
using namespace velmora::document;
namespace {

using platform::Json;

class UpdateLimits : public test_support::MainWindowFixture<> {
 protected:
  void SetUp() override { fig = openMainWindow(); }

  Json request(const Json& req) { return test_support::automationRequest(rt, ui, req); }
  // The case record and every object of every window, properties and userdata included.
  Json window() {
    return Json{request({{"op", "get"}, {"what", "udf"}})["value"], request({{"op", "find"}})["objects"]};
  }
  Json update(const Json& description) {
    return request({{"op", "dispatch"}, {"args", Json::array({"update", description})}});
  }
  // The room of a new window (zone 20) with every coordinate multiplied by k.
  static Json defaultRoom(double k) {
    const auto scaled = [k](std::vector<double> v) {
      for (double& d : v) d *= k;
      return v;
    };
    return Json{{"xwall", scaled({3, 17, 17, 3})},
                {"ywall", scaled({-7, -7, 7, 7})},
                {"xaud", scaled({5, 15, 15, 5})},
                {"yaud", scaled({-5, -5, 5, 5})},
                {"xso", 3.5 * k},
                {"yso", 0}};
  }
  // An L-shaped room that changes walls, map, zone and grid.
  static Json lRoom() {
    return Json{{"xwall", {0, 12, 12, 6, 6, 0}},
                {"ywall", {0, 0, 6, 6, 12, 12}},
                {"alpha", {0, 10, 20, 30, 40, 50}},
                {"Nsurface", 30},
                {"xlim", {-2, 14}},
                {"ylim", {-2, 14}},
                {"gsize", 1}};
  }
  std::string lastConsoleLine() {
    const Json lines = request({{"op", "console"}})["lines"];
    return lines.empty() ? "" : lines.back().get<std::string>();
  }
};

TEST_F(UpdateLimits, ValuesBeyondTheLimitsChangeNothing) {
  const auto with = [](Json d, const char* field, Json v) {
    d[field] = std::move(v);
    return d;
  };
  std::vector<double> manyWalls, manyY;
  for (int k = 0; k < 1001; ++k) {
    manyWalls.push_back(std::cos(k * 0.00628) * 10);
    manyY.push_back(std::sin(k * 0.00628) * 10);
  }
  const struct {
    const char* name;
    Json description;
    std::string message;
  } rows[] = {
      // Once 8 s of listing grid positions, then "internal error: std::bad_alloc" with the walls replaced.
      {"the default room scaled by 1e7", defaultRoom(1e7),
       "case description: field xwall must hold finite coordinates within 1000000 m of the origin, got "
       "30000000"},
      {"a zone of 1e12 m", with(lRoom(), "xlim", {0, 1e12}),
       "case description: field xlim must hold finite coordinates within 1000000 m of the origin, got "
       "1000000000000"},
      {"a zone side that does not increase", with(lRoom(), "ylim", {5, -5}),
       "case description: field ylim must run from a lower to a higher limit"},
      {"a map of 1e5 intervals", with(lRoom(), "Nsurface", 1e5),
       "case description: field Nsurface must be a whole number from 1 to 400, got 100000"},
      {"a map of 1e9 intervals", with(lRoom(), "Nsurface", 1e9),
       "case description: field Nsurface must be a whole number from 1 to 400, got 1000000000"},
      {"1001 walls", Json{{"xwall", manyWalls}, {"ywall", manyY}},
       "case description: field xwall must have at most 1000 vertices, got 1001"},
      {"a curve naming wall 1e12",
       with(lRoom(), "curves", {{"shape", {1, 9}}, {"data", {2, 0, 0, 1, 1, 0, 1, 1, 1e12}}}),
       "case description: field curves must be a whole number from 1 to 1000, got 1000000000000"},
      {"an absorption over 100 %", with(lRoom(), "alpha", {0, 0, 0, 0, 0, 250}),
       "case description: field alpha must hold percentages from 0 to 100, got 250"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const Json before = window();
    const Json reply = update(row.description);
    EXPECT_EQ(reply["ok"], false);
    EXPECT_EQ(reply.value("error", ""), row.message);
    EXPECT_EQ(lastConsoleLine(), row.message);
    EXPECT_EQ(window(), before);
  }
  // A zone at the reach of coordinates is accepted; its grid is too dense to draw and is not listed.
  EXPECT_EQ(update(with(lRoom(), "xlim", {-1e6, 1e6}))["ok"], true);
  EXPECT_TRUE(nums(obj("acougrid"), "xdata").empty());
  EXPECT_EQ(readCase(rt, fig).xlim, (std::array<double, 2>{-1e6, 1e6}));
}

// Walls at the edge of reach: the zone fitted around them slides back within it, so the case saved
// from the window reads back (it once reached 0.9 m past and the program refused its own file).
TEST_F(UpdateLimits, AZoneFittedAtTheEdgeOfReachStaysWithinIt) {
  for (const double x0 : {999000.0, -999999.9}) {
    SCOPED_TRACE(x0);
    ASSERT_EQ(update(Json{{"xwall", {x0, x0 + 999.9, x0 + 999.9, x0}}, {"ywall", {0, 0, 10, 10}}})["ok"],
              true);
    const auto xl = readCase(rt, fig).xlim;
    EXPECT_TRUE(std::fabs(xl[0]) <= 1e6 && std::fabs(xl[1]) <= 1e6);
    EXPECT_TRUE(xl[0] <= x0 && xl[1] >= x0 + 999.9);
    const auto saved = ops.call(rt, "getcurrentprop", {}, 1);
    EXPECT_NO_THROW(CaseDescription::fromValue(saved.at(0)));
  }
}

// A map grid made finer than any precision from outside (a column of 1e5 points) once made the next
// rebuild lay out 1e10 grid points until the system killed the program.
TEST_F(UpdateLimits, AMapGridChangedFromOutsideIsRefusedNotLaidOut) {
  const Json map = request({{"op", "find"}, {"tag", "acouaudiencesurface"}})["objects"][0]["handle"];
  const Json column{{"shape", {100000, 1}}, {"data", std::vector<double>(100000, 0.5)}};
  for (const char* coordinate : {"xdata", "ydata"})
    ASSERT_EQ(request({{"op", "set"}, {"handle", map}, {"prop", coordinate}, {"value", column}})["ok"], true);
  const Json before = window();
  const Json reply = update(Json{{"xso", 3}, {"yso", 3}});
  EXPECT_EQ(reply.value("error", ""), "the audience map has more than 160801 points");
  EXPECT_EQ(window(), before);
  // A precision chosen anew makes a map the rebuild takes again.
  request({{"op", "answer"}, {"answers", Json::array({Json{{"input", {"30"}}}})}});
  ASSERT_EQ(request({{"op", "dispatch"}, {"args", {"surfaceprecision"}}})["ok"], true);
  EXPECT_EQ(update(Json{{"xso", 3}, {"yso", 3}})["ok"], true);
}

TEST_F(UpdateLimits, ARebuildThatFailsHalfWayPutsTheWindowBack) {
  const struct {
    const char* name;
    std::function<void()> fail;
    std::string message;
  } rows[] = {
      {"out of memory in the map computation", [] { throw std::bad_alloc(); },
       "not enough memory to show this case; the window is left as it was"},
      {"an error in the display", [] { throw Error("no colours left"); }, "no colours left"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const Operation real = *ops.find("refreshsurfacevalues");
    ops.add({"refreshsurfacevalues", 0, 0, 1, [&](platform::Runtime&, const std::vector<platform::Value>&) {
               row.fail();
               return std::vector<platform::Value>{};
             }});
    const Json before = window();
    const Json reply = update(lRoom());
    EXPECT_EQ(reply["ok"], false);
    EXPECT_EQ(reply.value("error", ""), row.message);
    EXPECT_EQ(window(), before);
    ops.add(real);
  }
  // The same description goes through once nothing fails.
  EXPECT_EQ(update(lRoom())["ok"], true);
  EXPECT_EQ(readCase(rt, fig).xlim, (std::array<double, 2>{-2, 14}));
  EXPECT_EQ(rt.graphics().findobj(fig, "acouwall").size(), 6u);
}

}  // namespace
}  // namespace velmora::shell
