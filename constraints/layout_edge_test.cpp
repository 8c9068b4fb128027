#include "constraints/layout_edge.h"

#include <gtest/gtest.h>

#include "constraints/constraint_relation.h"
#include "constraints/edge_insets.h"

namespace tessra::constraints {
namespace {

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

}  // namespace
}  // namespace tessra::constraints
