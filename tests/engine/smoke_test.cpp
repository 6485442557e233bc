#include <gtest/gtest.h>

#include "engine/engine.h"

TEST(Smoke, Builds) {
  SUCCEED();
}
