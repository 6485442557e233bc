// The wall labels of the echogram: reflections less than 1 ms apart share one label, and no label
// covers another label or a bar, at the scales the window draws at.

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "polar/echogram.h"

namespace velmora::polar {
namespace {

Arrival reflection(int wall, double delayMs, double levelDb) {
  Arrival a;
  a.wall = wall;
  a.delayMs = delayMs;
  a.levelDb = levelDb;
  return a;
}

TEST(EchogramLabels, CloseArrivalsShareALabelAndNoLabelCoversAnother) {
  struct Row {
    const char* name;
    std::vector<Arrival> reflections;  // by delay, as the echogram keeps them
    std::vector<std::string> texts;    // by delay
  };
  const std::vector<Row> rows = {
      {"three walls within a millisecond", {reflection(17, 20.1, 60), reflection(16, 20.4, 61.5), reflection(18, 20.9, 59)},
       {"16, 17, 18"}},
      {"two that coincide over one just before",
       {reflection(1, 30, 55), reflection(4, 30.6, 58), reflection(5, 30.6, 58)},
       {"1, 4, 5"}},
      {"a chain of small steps is one group", {reflection(2, 10, 50), reflection(3, 10.9, 50), reflection(7, 11.8, 50)},
       {"2, 3, 7"}},
      {"a millisecond apart: two labels, stacked", {reflection(2, 40, 50), reflection(3, 41, 50.5)}, {"2", "3"}},
      {"far apart: each over its bar", {reflection(1, 5, 40), reflection(2, 60, 45), reflection(3, 90, 30)},
       {"1", "2", "3"}},
      {"a label beside a taller bar goes above it", {reflection(6, 70, 30), reflection(9, 71.2, 60)}, {"6", "9"}},
  };
  // The window's scale at a 100 ms, 60 dB plot: 476 by 252 pixels.
  const double msPerPixel = 101.25 / 476, dbPerPixel = 60.0 / 252;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::vector<Arrival> arrivals = {Arrival{true, false, 0, 0, 70, 0, 1}};
    arrivals.insert(arrivals.end(), row.reflections.begin(), row.reflections.end());
    const std::vector<EchogramLabel> labels = echogramLabels(arrivals, msPerPixel, dbPerPixel);
    std::vector<std::string> texts;
    for (const EchogramLabel& l : labels) texts.push_back(l.text);
    EXPECT_EQ(texts, row.texts);
    for (std::size_t i = 0; i < labels.size(); ++i) {
      const EchogramLabel& a = labels[i];
      EXPECT_GT(a.widthMs, 0);
      EXPECT_GT(a.heightDb, 0);
      for (std::size_t j = i + 1; j < labels.size(); ++j) {
        const EchogramLabel& b = labels[j];
        const bool acrossX = std::abs(a.delayMs - b.delayMs) < (a.widthMs + b.widthMs) / 2;
        const bool acrossY = a.levelDb < b.levelDb + b.heightDb && b.levelDb < a.levelDb + a.heightDb;
        EXPECT_FALSE(acrossX && acrossY) << a.text << " and " << b.text;
      }
      // Never below the tallest bar of its own walls, never over any bar.
      for (const Arrival& r : arrivals) {
        const bool own = !r.direct && a.text.find(std::to_string(r.wall)) != std::string::npos;
        if (own) {
          EXPECT_GE(a.levelDb, r.levelDb);
        }
        if (std::abs(a.delayMs - r.delayMs) < a.widthMs / 2) {
          EXPECT_GE(a.levelDb, r.levelDb) << a.text;
        }
      }
    }
  }
}

TEST(EchogramLabels, NoReflectionsNoLabels) {
  const std::vector<Arrival> direct = {Arrival{true, false, 0, 0, 70, 0, 1}};
  EXPECT_TRUE(echogramLabels(direct, 0.2, 0.2).empty());
  EXPECT_TRUE(echogramLabels({}, 0.2, 0.2).empty());
}

}  // namespace
}  // namespace velmora::polar
