#include "platform/files/csv.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>

namespace velmora::platform {
namespace {

TEST(Csv, FieldsAreQuotedOnlyWhenTheyMustBe) {
  const struct {
    std::string in, out;
  } rows[] = {
      {"wall1", "wall1"},
      {"", ""},
      {"a,b", "\"a,b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"two\nlines", "\"two\nlines\""},
      {"cr\r", "\"cr\r\""},
  };
  for (const auto& r : rows) EXPECT_EQ(csvField(r.in), r.out) << r.in;
}

TEST(Csv, NumbersAreShortAndTheSameInEveryLocale) {
  // A locale whose decimal separator is a comma must not reach the file.
  const bool commaLocale = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
  const struct {
    double v;
    int decimals;
    std::string out;
  } rows[] = {
      {12.5, 3, "12.5"},      {80.99849, 3, "80.998"}, {-0.0001, 3, "0"},   {-2.5, 6, "-2.5"},
      {1e-7, 6, "0"},         {100, 3, "100"},         {3, 0, "3"},         {1234567.125, 3, "1234567.125"},
      {NAN, 3, ""},           {INFINITY, 3, ""},
  };
  for (const auto& r : rows) EXPECT_EQ(csvNumber(r.v, r.decimals), r.out) << r.v;
  EXPECT_EQ(csvNumber(std::optional<double>{}, 3), "");
  if (commaLocale) std::setlocale(LC_ALL, "C");
}

TEST(Csv, TableHasOneCommentLineAndCrlfRows) {
  CsvTable t;
  t.comment("case a\nb; x in m");
  t.row({"x", "name"});
  t.row({"1.5", "hall, east"});
  EXPECT_EQ(t.text(), "# case a b; x in m\r\nx,name\r\n1.5,\"hall, east\"\r\n");
}

}  // namespace
}  // namespace velmora::platform
