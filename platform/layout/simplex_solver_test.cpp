#include "platform/layout/simplex_solver.h"

#include <gtest/gtest.h>

namespace tessra::platform {
namespace {

using Relation = SimplexSolver::Relation;
using Expression = SimplexSolver::Expression;
constexpr double kRequired = SimplexSolver::kRequired;

// x == value, written as x - value == 0.
Expression minus(SimplexSolver::Variable x, double value) { return {{{x, 1}}, -value}; }

TEST(SimplexSolverTest, RequiredEqualitiesChainThroughVariables) {
  SimplexSolver solver;
  const auto left = solver.addVariable();
  const auto width = solver.addVariable();
  const auto right = solver.addVariable();
  ASSERT_TRUE(solver.addConstraint(minus(left, 10), Relation::equal, kRequired));
  ASSERT_TRUE(solver.addConstraint(minus(width, 80), Relation::equal, kRequired));
  // right == left + width
  ASSERT_TRUE(
      solver.addConstraint({{{right, 1}, {left, -1}, {width, -1}}, 0}, Relation::equal, kRequired));
  EXPECT_DOUBLE_EQ(solver.value(right), 90);
}

TEST(SimplexSolverTest, InequalitiesAreLimitsForWeakerWishes) {
  struct Case {
    const char* name;
    double wish;
    double expected;
  };
  const Case cases[] = {
      {"below the minimum", 20, 50},
      {"inside the limits", 120, 120},
      {"above the maximum", 500, 300},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimplexSolver solver;
    const auto x = solver.addVariable();
    ASSERT_TRUE(solver.addConstraint(minus(x, 50), Relation::greaterOrEqual, kRequired));
    ASSERT_TRUE(solver.addConstraint(minus(x, 300), Relation::lessOrEqual, kRequired));
    ASSERT_TRUE(solver.addConstraint(minus(x, c.wish), Relation::equal, 10));
    EXPECT_DOUBLE_EQ(solver.value(x), c.expected);
  }
}

TEST(SimplexSolverTest, StrongerPreferenceWinsAndWeakerAppliesWhereFree) {
  SimplexSolver solver;
  const auto x = solver.addVariable();
  const auto y = solver.addVariable();
  ASSERT_TRUE(solver.addConstraint(minus(x, 100), Relation::equal, 1000));
  ASSERT_TRUE(solver.addConstraint(minus(x, 200), Relation::equal, 10));
  ASSERT_TRUE(solver.addConstraint(minus(y, 7), Relation::equal, 10));
  EXPECT_DOUBLE_EQ(solver.value(x), 100);
  EXPECT_DOUBLE_EQ(solver.value(y), 7);
}

TEST(SimplexSolverTest, AStrongerPreferenceOutweighsAnyNumberOfWeakerOnes) {
  SimplexSolver solver;
  const auto x = solver.addVariable();
  const auto y = solver.addVariable();
  for (int i = 0; i < 50; ++i)
    ASSERT_TRUE(solver.addConstraint(minus(x, 20), Relation::equal, 10.0));
  ASSERT_TRUE(solver.addConstraint(minus(x, 70), Relation::equal, 10.5));
  EXPECT_DOUBLE_EQ(solver.value(x), 70);
  // Between equals the count still decides; limits still bound the stronger wish.
  ASSERT_TRUE(solver.addConstraint(minus(y, 1), Relation::equal, 10.0));
  ASSERT_TRUE(solver.addConstraint(minus(y, 2), Relation::equal, 10.0));
  ASSERT_TRUE(solver.addConstraint(minus(y, 2), Relation::equal, 10.0));
  EXPECT_DOUBLE_EQ(solver.value(y), 2);
  ASSERT_TRUE(solver.addConstraint(minus(x, 40), Relation::lessOrEqual, kRequired));
  EXPECT_DOUBLE_EQ(solver.value(x), 40);
}

TEST(SimplexSolverTest, RefusedRequiredConstraintLeavesSolverAsItWas) {
  SimplexSolver solver;
  const auto x = solver.addVariable();
  const auto y = solver.addVariable();
  ASSERT_TRUE(solver.addConstraint(minus(x, 40), Relation::equal, kRequired));
  ASSERT_TRUE(solver.addConstraint({{{y, 1}, {x, -2}}, 0}, Relation::equal, kRequired));
  solver.addEditVariable(x, 1);
  solver.suggestValue(x, 70);

  const struct {
    const char* name;
    Expression expression;
    Relation relation;
  } refused[] = {
      {"contradicting equality", minus(x, 41), Relation::equal},
      {"impossible limit", minus(y, 10), Relation::lessOrEqual},
      {"contradiction between constants", {{}, 5}, Relation::equal},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.name);
    EXPECT_FALSE(solver.addConstraint(c.expression, c.relation, kRequired));
    EXPECT_DOUBLE_EQ(solver.value(x), 40);
    EXPECT_DOUBLE_EQ(solver.value(y), 80);
  }
  // The solver still takes changes after the refusals.
  const auto z = solver.addVariable();
  ASSERT_TRUE(solver.addConstraint({{{z, 1}, {y, -1}}, -5}, Relation::equal, kRequired));
  EXPECT_DOUBLE_EQ(solver.value(z), 85);
}

TEST(SimplexSolverTest, RemovingConstraintHandsQuantityBackToWeakerOnes) {
  SimplexSolver solver;
  const auto x = solver.addVariable();
  ASSERT_TRUE(solver.addConstraint(minus(x, 5), Relation::equal, 1));
  const auto strong = solver.addConstraint(minus(x, 60), Relation::equal, kRequired);
  ASSERT_TRUE(strong);
  EXPECT_DOUBLE_EQ(solver.value(x), 60);
  solver.removeConstraint(*strong);
  EXPECT_FALSE(solver.hasConstraint(*strong));
  EXPECT_DOUBLE_EQ(solver.value(x), 5);
  // Now a conflicting required constraint is accepted.
  EXPECT_TRUE(solver.addConstraint(minus(x, 61), Relation::equal, kRequired));
  EXPECT_DOUBLE_EQ(solver.value(x), 61);
}

TEST(SimplexSolverTest, EditVariablesFollowSuggestionsWithinLimits) {
  SimplexSolver solver;
  const auto x = solver.addVariable();
  const auto doubled = solver.addVariable();
  ASSERT_TRUE(solver.addConstraint(minus(x, 0), Relation::greaterOrEqual, kRequired));
  ASSERT_TRUE(solver.addConstraint(minus(x, 500), Relation::lessOrEqual, kRequired));
  ASSERT_TRUE(solver.addConstraint({{{doubled, 1}, {x, -2}}, 0}, Relation::equal, kRequired));
  solver.addEditVariable(x, 100);
  for (double suggested : {10.0, 480.0, -30.0, 900.0, 250.0}) {
    solver.suggestValue(x, suggested);
    const double expected = std::clamp(suggested, 0.0, 500.0);
    EXPECT_DOUBLE_EQ(solver.value(x), expected) << suggested;
    EXPECT_DOUBLE_EQ(solver.value(doubled), 2 * expected) << suggested;
  }
  solver.removeEditVariable(x);
  EXPECT_FALSE(solver.hasEditVariable(x));
}

TEST(SimplexSolverTest, ManyChainedVariablesStayExact) {
  SimplexSolver solver;
  std::vector<SimplexSolver::Variable> lefts;
  lefts.push_back(solver.addVariable());
  ASSERT_TRUE(solver.addConstraint(minus(lefts[0], 0), Relation::equal, kRequired));
  for (int i = 1; i < 200; ++i) {
    lefts.push_back(solver.addVariable());
    ASSERT_TRUE(solver.addConstraint({{{lefts[i], 1}, {lefts[i - 1], -1}}, -8}, Relation::equal,
                                     kRequired));
  }
  EXPECT_DOUBLE_EQ(solver.value(lefts.back()), 199 * 8);
}

}  // namespace
}  // namespace tessra::platform
