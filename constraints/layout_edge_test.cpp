#include "constraints/layout_edge.h"

#include <gtest/gtest.h>

#include "constraints/constraint_relation.h"
#include "constraints/edge_insets.h"

namespace tessra::constraints {
namespace {

TEST(ConstraintRelationTest, ConstructsOnlyFromTheThreeRawValues) {
  const struct {
    int raw;
    std::optional<ConstraintRelation> expected;
  } cases[] = {
      {-1, ConstraintRelation::equalOrLess},
      {0, ConstraintRelation::equal},
      {1, ConstraintRelation::equalOrGreater},
      {2, std::nullopt},
      {-2, std::nullopt},
  };
  for (const auto& test : cases) {
    EXPECT_EQ(constraintRelation(test.raw), test.expected) << test.raw;
    if (test.expected) {
      EXPECT_EQ(rawValue(*test.expected), test.raw);
    }
  }
  EXPECT_EQ(layoutRelation(ConstraintRelation::equalOrLess),
            platform::LayoutRelation::lessThanOrEqual);
  EXPECT_EQ(layoutRelation(ConstraintRelation::equalOrGreater),
            platform::LayoutRelation::greaterThanOrEqual);
}

TEST(LayoutEdgeTest, MembersAndLiterals) {
  EXPECT_EQ(LayoutEdge::none.rawValue, 64);
  EXPECT_FALSE(LayoutEdge::none.isEmpty());
  EXPECT_EQ(LayoutEdge{}.rawValue, 0);
  EXPECT_TRUE(LayoutEdge{}.isEmpty());
  EXPECT_EQ((LayoutEdge{LayoutEdge::top, LayoutEdge::leading}).rawValue, 17);
  const LayoutEdge all{LayoutEdge::top,   LayoutEdge::bottom,  LayoutEdge::left,
                       LayoutEdge::right, LayoutEdge::leading, LayoutEdge::trailing,
                       LayoutEdge::none};
  EXPECT_EQ(all.rawValue, 127);
}

TEST(LayoutEdgeTest, SetAlgebra) {
  const LayoutEdge vertical{LayoutEdge::top, LayoutEdge::bottom};
  const LayoutEdge topLeft{LayoutEdge::top, LayoutEdge::left};
  EXPECT_EQ(vertical.unionWith(topLeft).rawValue, 7);
  EXPECT_EQ(vertical.intersection(topLeft), LayoutEdge::top);
  EXPECT_EQ(vertical.symmetricDifference(topLeft).rawValue, 6);
  EXPECT_EQ(vertical.subtracting(topLeft), LayoutEdge::bottom);
  EXPECT_EQ(vertical | topLeft, vertical.unionWith(topLeft));
  EXPECT_EQ(vertical & topLeft, LayoutEdge::top);
  EXPECT_EQ(vertical ^ topLeft, vertical.symmetricDifference(topLeft));
  EXPECT_TRUE(LayoutEdge(LayoutEdge::top).isSubset(vertical));
  EXPECT_TRUE(vertical.isSuperset(LayoutEdge::bottom));
  EXPECT_FALSE(vertical.isSuperset(topLeft));
  EXPECT_TRUE(vertical.isDisjoint(LayoutEdge::leading));
  EXPECT_FALSE(vertical.isDisjoint(topLeft));
  EXPECT_TRUE(vertical.contains(LayoutEdge::top));
  EXPECT_FALSE(vertical.contains(topLeft));

  LayoutEdge edges = vertical;
  edges.formUnion(LayoutEdge::left);
  EXPECT_EQ(edges.rawValue, 7);
  edges.formIntersection(topLeft);
  EXPECT_EQ(edges, topLeft);
  edges.formSymmetricDifference(LayoutEdge::top);
  EXPECT_EQ(edges, LayoutEdge::left);
  edges.subtract(LayoutEdge::left);
  EXPECT_TRUE(edges.isEmpty());
}

TEST(LayoutEdgeTest, InsertRemoveAndUpdateReportWhatWasThere) {
  LayoutEdge edges{LayoutEdge::top};
  auto [inserted, member] = edges.insert(LayoutEdge::top);
  EXPECT_FALSE(inserted);
  EXPECT_EQ(member, LayoutEdge::top);
  EXPECT_EQ(edges, LayoutEdge::top);
  std::tie(inserted, member) = edges.insert(LayoutEdge::right);
  EXPECT_TRUE(inserted);
  EXPECT_EQ(member, LayoutEdge::right);
  EXPECT_EQ(edges.rawValue, 9);

  EXPECT_EQ(edges.remove(LayoutEdge::bottom), std::nullopt);
  EXPECT_EQ(edges.rawValue, 9);
  EXPECT_EQ(edges.remove(LayoutEdge::right), LayoutEdge::right);
  EXPECT_EQ(edges, LayoutEdge::top);

  EXPECT_EQ(edges.update(LayoutEdge::leading), std::nullopt);
  EXPECT_EQ(edges.update(LayoutEdge::top), LayoutEdge::top);
  EXPECT_EQ(edges.rawValue, 17);
}

TEST(EdgeInsetsTest, Conveniences) {
  const struct {
    const char* name;
    EdgeInsets value;
    EdgeInsets expected;
  } cases[] = {
      {"zero", EdgeInsets::zero, {0, 0, 0, 0}},
      {"uniform", insets::uniform(3), {3, 3, 3, 3}},
      {"top", insets::top(5), {5, 0, 0, 0}},
      {"left", insets::left(5), {0, 5, 0, 0}},
      {"bottom", insets::bottom(5), {0, 0, 5, 0}},
      {"right", insets::right(5), {0, 0, 0, 5}},
      {"horizontal", insets::horizontal(5), {0, 5, 0, 5}},
      {"vertical", insets::vertical(5), {5, 0, 5, 0}},
      {"sum", insets::top(2) + insets::uniform(1), {3, 1, 1, 1}},
  };
  for (const auto& test : cases) EXPECT_EQ(test.value, test.expected) << test.name;
}

}  // namespace
}  // namespace tessra::constraints
