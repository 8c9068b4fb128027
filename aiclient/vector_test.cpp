#include "aiclient/vector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace tessra::aiclient {
namespace {

TEST(Vector, CosineSimilarityAndDifferenceAreExact) {
  struct Case {
    std::vector<double> a, b;
    double similarity, difference;
  };
  const Case cases[] = {
      {{1, 2, 3}, {1, 2, 3}, 1.0, 0.0},
      {{1, 0}, {0, 1}, 0.0, 1.0},
      {{1, 1}, {-1, -1}, -0.9999999999999998, 1.9999999999999998},
      {{1, 0}, {1}, 1.0, 0.0},
      {{3, 4}, {1}, 0.6, 0.4},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Vector::cosineSimilarity(c.a, c.b), c.similarity);
    EXPECT_EQ(Vector::cosineDifference(c.a, c.b), c.difference);
  }
}

TEST(Vector, VectorsWithoutDirectionGiveNaN) {
  for (const auto& other : {std::vector<double>{0, 0}, std::vector<double>{}}) {
    EXPECT_TRUE(std::isnan(Vector::cosineSimilarity({1, 2}, other)));
    EXPECT_TRUE(std::isnan(Vector::cosineDifference({1, 2}, other)));
  }
}

}  // namespace
}  // namespace tessra::aiclient
