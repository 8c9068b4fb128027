// One layout constraint: firstItem.firstAttribute relation multiplier x secondItem.secondAttribute
// + constant, with a priority and an active flag.
//
// A constraint is made inactive by the anchors (or by `make`, the item-and-attribute form) and is
// shared between its maker and, while active, the layout that solves it. Activating it finds the
// container of its items (the parent of a widget, the owning widget of a guide, or one of the
// items when the other is inside it) and installs it in that container's `ConstraintLayout`,
// which is created when the container has no layout yet. Constraints that cannot be installed
// (an item gone, no common container, anchors of different kinds, a container run by another
// kind of layout) are reported with a log line and stay inactive.
//
// Changing the constant, the priority or the active flag of an active constraint marks its layout
// for a new pass; `layoutIfNeeded` on the container runs it at once. A required constraint that
// cannot hold together with the others is left out of the solution, reported with a log line and
// marked: `hasConflict()` is true until a later pass can satisfy it. GUI thread only.
#pragma once

#include <QPointer>

#include <memory>
#include <span>
#include <string>

#include "platform/layout/layout_anchor.h"

namespace tessra::platform {

class ConstraintLayout;

class LayoutConstraint : public std::enable_shared_from_this<LayoutConstraint> {
 public:
  // The item-and-attribute form. A dimension may have no second item (then it relates to the
  // constant alone); a position always needs one.
  static LayoutConstraintPtr make(LayoutItem firstItem, LayoutAttribute firstAttribute,
                                  LayoutRelation relation, LayoutItem secondItem,
                                  LayoutAttribute secondAttribute, double multiplier,
                                  double constant);

  LayoutConstraint(LayoutItem firstItem, LayoutAttribute firstAttribute, LayoutRelation relation,
                   LayoutItem secondItem, LayoutAttribute secondAttribute, double multiplier,
                   double constant);
  ~LayoutConstraint();
  LayoutConstraint(const LayoutConstraint&) = delete;
  LayoutConstraint& operator=(const LayoutConstraint&) = delete;

  const LayoutItem& firstItem() const { return m_firstItem; }
  LayoutAttribute firstAttribute() const { return m_firstAttribute; }
  LayoutRelation relation() const { return m_relation; }
  const LayoutItem& secondItem() const { return m_secondItem; }
  LayoutAttribute secondAttribute() const { return m_secondAttribute; }
  double multiplier() const { return m_multiplier; }

  double constant() const { return m_constant; }
  void setConstant(double constant);

  LayoutPriority priority() const { return m_priority; }
  // Values outside 1...1000 (or not a number) are clamped into it, with a log line.
  void setPriority(LayoutPriority priority);

  bool isActive() const;
  void setActive(bool active);

  // True when the last layout pass had to leave this required constraint out.
  bool hasConflict() const { return m_conflict; }

  // The container whose layout holds this constraint while it is active.
  QWidget* container() const;

  // A readable form for log lines, e.g. "QLabel(title).top == QWidget(panel).top + 8 @1000".
  std::string description() const;

  // Activates or deactivates every constraint of the list, in order; each layout runs one pass
  // for all of them at the next turn of the event loop.
  static void activate(std::span<const LayoutConstraintPtr> constraints);
  static void deactivate(std::span<const LayoutConstraintPtr> constraints);

 private:
  friend class ConstraintLayout;
  void changed();

  LayoutItem m_firstItem;
  LayoutAttribute m_firstAttribute;
  LayoutRelation m_relation;
  LayoutItem m_secondItem;
  LayoutAttribute m_secondAttribute;
  double m_multiplier;
  double m_constant;
  LayoutPriority m_priority = kLayoutPriorityRequired;
  bool m_conflict = false;
  QPointer<ConstraintLayout> m_layout;
};

}  // namespace tessra::platform
