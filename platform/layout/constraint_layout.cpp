#include "platform/layout/constraint_layout.h"

#include <QChildEvent>
#include <QEvent>
#include <QPointer>

#include <algorithm>
#include <bit>
#include <cmath>
#include <map>
#include <set>
#include <utility>

#include "platform/foundation/logger.h"
#include "platform/layout/layout_guide.h"
#include "platform/layout/simplex_solver.h"
#include "platform/layout/view_layout.h"

namespace tessra::platform {

namespace {

using Expression = SimplexSolver::Expression;
using Relation = SimplexSolver::Relation;

// The solver meets preferences in strict order of strength, so the strength only has to grow
// with the priority.
double strengthFor(LayoutPriority priority) {
  if (priority >= kLayoutPriorityRequired) return SimplexSolver::kRequired;
  return std::pow(10.0, std::max(priority, LayoutPriority{0}) / 250.0);
}

// What keeps an undecided quantity where it is: weaker than any priority.
constexpr double kStayStrength = 1.0e-3;
// What pulls the container towards its fitting size: priority 50, above the stays and below the
// children's hugging and compression resistance.
const double kFittingStrength = strengthFor(50);
constexpr double kFittingExpandedSize = 100000;

struct ItemVariables {
  SimplexSolver::Variable left;
  SimplexSolver::Variable top;
  SimplexSolver::Variable width;
  SimplexSolver::Variable height;
};

struct Rule {
  Expression expression;
  Relation relation;
  double strength;
  bool operator==(const Rule&) const = default;
};

// Which relation a rule stands for: the owner (a constraint, an item or the container) and a slot.
using Key = std::pair<const void*, int>;

enum ItemSlot {
  kFrameLeft,
  kFrameTop,
  kFrameWidth,
  kFrameHeight,
  kNonNegativeWidth,
  kNonNegativeHeight,
  kMinimumWidth,
  kMaximumWidth,
  kMinimumHeight,
  kMaximumHeight,
  kHugWidth,
  kResistWidth,
  kHugHeight,
  kResistHeight,
};

Expression normalized(Expression expression) {
  std::map<SimplexSolver::Variable, double> sums;
  for (const auto& term : expression.terms) sums[term.variable] += term.coefficient;
  expression.terms.clear();
  for (const auto& [variable, coefficient] : sums) {
    if (coefficient != 0.0) expression.terms.push_back({variable, coefficient});
  }
  return expression;
}

Relation solverRelation(LayoutRelation relation) {
  switch (relation) {
    case LayoutRelation::lessThanOrEqual:
      return Relation::lessOrEqual;
    case LayoutRelation::greaterThanOrEqual:
      return Relation::greaterOrEqual;
    case LayoutRelation::equal:
      break;
  }
  return Relation::equal;
}

QRectF currentFrame(const QObject* object) {
  if (auto* guide = qobject_cast<const LayoutGuide*>(object)) return guide->frame();
  if (auto* view = qobject_cast<const QWidget*>(object)) return QRectF(view->geometry());
  return {};
}

}  // namespace

enum class SolveMode { exact, fittingHug, fittingExpand };

// The solver with what is in it, kept between passes so that each pass only adds and removes
// what changed.
struct ConstraintLayout::System {
  QWidget* container;
  SolveMode mode;
  SimplexSolver solver;
  std::map<const QObject*, ItemVariables> variables;
  std::map<Key, std::pair<Rule, std::optional<SimplexSolver::ConstraintId>>> installed;

  System(QWidget* container, SolveMode mode) : container(container), mode(mode) {}

  const ItemVariables& variablesFor(const QObject* item) {
    auto it = variables.find(item);
    if (it != variables.end()) return it->second;
    ItemVariables created{solver.addVariable(), solver.addVariable(), solver.addVariable(),
                          solver.addVariable()};
    if (item != container) {
      for (auto variable : {created.left, created.top, created.width, created.height}) {
        solver.addEditVariable(variable, kStayStrength);
      }
    }
    return variables.emplace(item, created).first->second;
  }

  Expression anchor(const QObject* item, LayoutAttribute attribute) {
    const ItemVariables& v = variablesFor(item);
    // Right to left, leading and trailing run on a mirrored axis, so that a positive constant
    // still insets towards the reading direction.
    const bool rightToLeft = container->layoutDirection() == Qt::RightToLeft;
    switch (attribute) {
      case LayoutAttribute::leading:
        if (rightToLeft) return {{{v.left, -1}, {v.width, -1}}, 0};
        return {{{v.left, 1}}, 0};
      case LayoutAttribute::trailing:
        if (rightToLeft) return {{{v.left, -1}}, 0};
        return {{{v.left, 1}, {v.width, 1}}, 0};
      case LayoutAttribute::left:
        return {{{v.left, 1}}, 0};
      case LayoutAttribute::right:
        return {{{v.left, 1}, {v.width, 1}}, 0};
      case LayoutAttribute::top:
        return {{{v.top, 1}}, 0};
      case LayoutAttribute::bottom:
        return {{{v.top, 1}, {v.height, 1}}, 0};
      case LayoutAttribute::width:
        return {{{v.width, 1}}, 0};
      case LayoutAttribute::height:
        return {{{v.height, 1}}, 0};
      case LayoutAttribute::centerX:
        return {{{v.left, 1}, {v.width, 0.5}}, 0};
      case LayoutAttribute::centerY:
        return {{{v.top, 1}, {v.height, 0.5}}, 0};
      case LayoutAttribute::notAnAttribute:
        break;
    }
    return {};
  }

  Rule ruleFor(const LayoutConstraint& constraint) {
    Expression expression = anchor(constraint.firstItem().object(), constraint.firstAttribute());
    if (constraint.secondAttribute() != LayoutAttribute::notAnAttribute) {
      const Expression second =
          anchor(constraint.secondItem().object(), constraint.secondAttribute());
      for (const auto& term : second.terms) {
        expression.terms.push_back({term.variable, -constraint.multiplier() * term.coefficient});
      }
    }
    expression.constant = -constraint.constant();
    return {normalized(std::move(expression)), solverRelation(constraint.relation()),
            strengthFor(constraint.priority())};
  }

  static Rule fix(SimplexSolver::Variable variable, Relation relation, double value,
                  double strength = SimplexSolver::kRequired) {
    return {{{{variable, 1}}, -value}, relation, strength};
  }

  void containerRules(QSize size, std::vector<std::pair<Key, Rule>>& out) {
    const ItemVariables& v = variablesFor(container);
    out.push_back({{container, kFrameLeft}, fix(v.left, Relation::equal, 0)});
    out.push_back({{container, kFrameTop}, fix(v.top, Relation::equal, 0)});
    if (mode == SolveMode::exact) {
      out.push_back({{container, kFrameWidth}, fix(v.width, Relation::equal, size.width())});
      out.push_back({{container, kFrameHeight}, fix(v.height, Relation::equal, size.height())});
      return;
    }
    const double target = mode == SolveMode::fittingHug ? 0.0 : kFittingExpandedSize;
    out.push_back(
        {{container, kFrameWidth}, fix(v.width, Relation::equal, target, kFittingStrength)});
    out.push_back(
        {{container, kFrameHeight}, fix(v.height, Relation::equal, target, kFittingStrength)});
    out.push_back({{container, kNonNegativeWidth}, fix(v.width, Relation::greaterOrEqual, 0)});
    out.push_back({{container, kNonNegativeHeight}, fix(v.height, Relation::greaterOrEqual, 0)});
  }

  // What holds for an item whatever the constraints say: the frame of a widget that keeps its
  // own, and the sizes a widget can physically take.
  void requiredItemRules(const QObject* item, std::vector<std::pair<Key, Rule>>& out) {
    const ItemVariables& v = variablesFor(item);
    const auto* view = qobject_cast<const QWidget*>(item);
    if (view != nullptr && translatesAutoresizingMaskIntoConstraints(view)) {
      const QRect frame = view->geometry();
      out.push_back({{item, kFrameLeft}, fix(v.left, Relation::equal, frame.x())});
      out.push_back({{item, kFrameTop}, fix(v.top, Relation::equal, frame.y())});
      out.push_back({{item, kFrameWidth}, fix(v.width, Relation::equal, frame.width())});
      out.push_back({{item, kFrameHeight}, fix(v.height, Relation::equal, frame.height())});
      return;
    }
    out.push_back({{item, kNonNegativeWidth}, fix(v.width, Relation::greaterOrEqual, 0)});
    out.push_back({{item, kNonNegativeHeight}, fix(v.height, Relation::greaterOrEqual, 0)});
    if (view == nullptr) return;
    const QSize minimum = view->minimumSize();
    const QSize maximum = view->maximumSize();
    if (minimum.width() > 0) {
      out.push_back(
          {{item, kMinimumWidth}, fix(v.width, Relation::greaterOrEqual, minimum.width())});
    }
    if (maximum.width() < QWIDGETSIZE_MAX) {
      out.push_back({{item, kMaximumWidth}, fix(v.width, Relation::lessOrEqual, maximum.width())});
    }
    if (minimum.height() > 0) {
      out.push_back(
          {{item, kMinimumHeight}, fix(v.height, Relation::greaterOrEqual, minimum.height())});
    }
    if (maximum.height() < QWIDGETSIZE_MAX) {
      out.push_back(
          {{item, kMaximumHeight}, fix(v.height, Relation::lessOrEqual, maximum.height())});
    }
  }

  // The axes on which required equalities fix an item's size against the container or a constant:
  // its width or height itself, or two of its edges (or an edge and its centre). An exact pass
  // knows the container's size, so there the item's intrinsic size can change nothing on such an
  // axis, and its size hint, which may take a pass of a layout of its own, is not asked for.
  std::set<std::pair<const QObject*, Qt::Orientation>> fixedSizes(
      const std::vector<LayoutConstraintPtr>& constraints) const {
    std::set<std::pair<const QObject*, Qt::Orientation>> fixed;
    if (mode != SolveMode::exact) return fixed;
    const bool rightToLeft = container->layoutDirection() == Qt::RightToLeft;
    // The edges pinned so far, one bit each: left, right and centre; top, bottom and centre.
    std::map<std::pair<const QObject*, Qt::Orientation>, unsigned> pinned;
    const auto pin = [&](const QObject* item, LayoutAttribute attribute) {
      switch (attribute) {
        case LayoutAttribute::width:
          fixed.insert({item, Qt::Horizontal});
          return;
        case LayoutAttribute::height:
          fixed.insert({item, Qt::Vertical});
          return;
        case LayoutAttribute::notAnAttribute:
          return;
        default:
          break;
      }
      const bool horizontal = attribute != LayoutAttribute::top &&
                              attribute != LayoutAttribute::bottom &&
                              attribute != LayoutAttribute::centerY;
      unsigned edge = 4;
      if (attribute == LayoutAttribute::left || attribute == LayoutAttribute::top ||
          (attribute == LayoutAttribute::leading && !rightToLeft) ||
          (attribute == LayoutAttribute::trailing && rightToLeft))
        edge = 1;
      if (attribute == LayoutAttribute::right || attribute == LayoutAttribute::bottom ||
          (attribute == LayoutAttribute::trailing && !rightToLeft) ||
          (attribute == LayoutAttribute::leading && rightToLeft))
        edge = 2;
      const std::pair key{item, horizontal ? Qt::Horizontal : Qt::Vertical};
      unsigned& edges = pinned[key];
      edges |= edge;
      if (std::popcount(edges) >= 2) fixed.insert(key);
    };
    for (const auto& constraint : constraints) {
      if (constraint->priority() < kLayoutPriorityRequired ||
          constraint->relation() != LayoutRelation::equal || constraint->hasConflict())
        continue;
      const QObject* first = constraint->firstItem().object();
      const QObject* second = constraint->secondItem().object();
      const bool toConstant = constraint->secondAttribute() == LayoutAttribute::notAnAttribute;
      if (first != container && (toConstant || second == container))
        pin(first, constraint->firstAttribute());
      if (!toConstant && first == container && second != container)
        pin(second, constraint->secondAttribute());
    }
    return fixed;
  }

  // The intrinsic size: a widget's size hint, held by its hugging and compression resistance.
  void intrinsicRules(const QObject* item,
                      const std::set<std::pair<const QObject*, Qt::Orientation>>& fixed,
                      std::vector<std::pair<Key, Rule>>& out) {
    const auto* view = qobject_cast<const QWidget*>(item);
    if (view == nullptr || translatesAutoresizingMaskIntoConstraints(view)) return;
    const bool fixedWidth = fixed.contains({item, Qt::Horizontal});
    const bool fixedHeight = fixed.contains({item, Qt::Vertical});
    if (fixedWidth && fixedHeight) return;
    const ItemVariables& v = variablesFor(item);
    QSize hint = view->sizeHint();
    if (fixedWidth) hint.setWidth(-1);
    if (fixedHeight) hint.setHeight(-1);
    if (hint.width() >= 0) {
      out.push_back({{item, kHugWidth},
                     fix(v.width, Relation::lessOrEqual, hint.width(),
                         strengthFor(contentHuggingPriority(view, Qt::Horizontal)))});
      out.push_back({{item, kResistWidth},
                     fix(v.width, Relation::greaterOrEqual, hint.width(),
                         strengthFor(contentCompressionResistancePriority(view, Qt::Horizontal)))});
    }
    if (hint.height() >= 0) {
      out.push_back({{item, kHugHeight},
                     fix(v.height, Relation::lessOrEqual, hint.height(),
                         strengthFor(contentHuggingPriority(view, Qt::Vertical)))});
      out.push_back({{item, kResistHeight},
                     fix(v.height, Relation::greaterOrEqual, hint.height(),
                         strengthFor(contentCompressionResistancePriority(view, Qt::Vertical)))});
    }
  }

  bool addRule(const Key& key, const Rule& rule) {
    auto id = solver.addConstraint(rule.expression, rule.relation, rule.strength);
    installed[key] = {rule, id};
    return id.has_value();
  }

  void removeRule(const Key& key) {
    auto it = installed.find(key);
    if (it == installed.end()) return;
    if (it->second.second) solver.removeConstraint(*it->second.second);
    installed.erase(it);
  }

  // Brings the solver to the constraints and the present state of the items. Returns false when
  // a relation that must hold (the container's size, a widget's own frame) was refused, which
  // only a fresh system, where those come first, can sort out.
  bool sync(QSize size, const std::vector<LayoutConstraintPtr>& constraints) {
    std::vector<const QObject*> items;
    auto addItem = [&](const QObject* item) {
      if (item != nullptr && item != container &&
          std::find(items.begin(), items.end(), item) == items.end()) {
        items.push_back(item);
      }
    };
    for (const auto& constraint : constraints) {
      addItem(constraint->firstItem().object());
      addItem(constraint->secondItem().object());
    }

    std::vector<std::pair<Key, Rule>> required;
    containerRules(size, required);
    for (const QObject* item : items) requiredItemRules(item, required);
    std::vector<std::pair<Key, Rule>> preferred;
    const auto fixed = fixedSizes(constraints);
    for (const QObject* item : items) intrinsicRules(item, fixed, preferred);
    std::vector<std::pair<Key, Rule>> user;
    for (const auto& constraint : constraints) {
      user.push_back({{constraint.get(), 0}, ruleFor(*constraint)});
    }

    // Remove what is gone or changed first, so that a changed relation never meets its old self.
    std::map<Key, const Rule*> wanted;
    for (const auto* group : {&required, &user, &preferred}) {
      for (const auto& [key, rule] : *group) wanted[key] = &rule;
    }
    bool removedAny = false;
    for (auto it = installed.begin(); it != installed.end();) {
      auto want = wanted.find(it->first);
      if (want != wanted.end() && *want->second == it->second.first) {
        ++it;
        continue;
      }
      if (it->second.second) solver.removeConstraint(*it->second.second);
      it = installed.erase(it);
      removedAny = true;
    }
    for (auto it = variables.begin(); it != variables.end();) {
      if (it->first == container ||
          std::find(items.begin(), items.end(), it->first) != items.end()) {
        ++it;
        continue;
      }
      for (auto variable : {it->second.left, it->second.top, it->second.width, it->second.height}) {
        solver.removeEditVariable(variable);
      }
      it = variables.erase(it);
    }

    for (const auto& [key, rule] : required) {
      if (installed.contains(key)) continue;
      if (!addRule(key, rule)) return false;
    }
    for (size_t i = 0; i < user.size(); ++i) {
      const auto& [key, rule] = user[i];
      auto it = installed.find(key);
      // A constraint left out earlier may fit now that something else was taken away.
      const bool retry = it != installed.end() && !it->second.second && removedAny;
      if (it != installed.end() && !retry) continue;
      if (retry) installed.erase(it);
      markConflict(*constraints[i], !addRule(key, rule));
    }
    for (const auto& [key, rule] : preferred) {
      if (!installed.contains(key)) addRule(key, rule);
    }

    for (const auto& [item, v] : variables) {
      if (item == container) continue;
      const QRectF frame = currentFrame(item);
      solver.suggestValue(v.left, frame.x());
      solver.suggestValue(v.top, frame.y());
      solver.suggestValue(v.width, frame.width());
      solver.suggestValue(v.height, frame.height());
    }
    return true;
  }

  void markConflict(LayoutConstraint& constraint, bool conflict) {
    if (mode != SolveMode::exact) return;
    if (conflict && !constraint.hasConflict()) {
      logError(
          "Unable to satisfy the layout constraint {} together with the other required "
          "constraints of its container; it is left out until it can be met",
          constraint.description());
    }
    ConstraintLayout::setConflict(constraint, conflict);
  }

  // The container's frame in a fitting system kept in `system`, brought up to the constraints as
  // the exact system is: a changed constant (a slide's frame) swaps one relation instead of
  // building both systems anew.
  static QRectF fit(std::unique_ptr<System>& system, QWidget* container, SolveMode mode,
                    const std::vector<LayoutConstraintPtr>& constraints) {
    if (!system || !system->sync({}, constraints)) {
      system = std::make_unique<System>(container, mode);
      system->sync({}, constraints);
    }
    return system->frameOf(container);
  }

  QRectF frameOf(const QObject* item) const {
    const ItemVariables& v = variables.at(item);
    return {solver.value(v.left), solver.value(v.top), solver.value(v.width),
            solver.value(v.height)};
  }
};

void ConstraintLayout::setConflict(LayoutConstraint& constraint, bool conflict) {
  constraint.m_conflict = conflict;
}

ConstraintLayout::ConstraintLayout(QWidget* container)
    : QLayout(container), m_container(container) {
  setContentsMargins(0, 0, 0, 0);
  setSizeConstraint(QLayout::SetNoConstraint);
  container->installEventFilter(this);
}

ConstraintLayout::~ConstraintLayout() {
  for (QLayoutItem* item : m_items) delete item;
}

ConstraintLayout* ConstraintLayout::forContainer(QWidget* container) {
  if (container == nullptr) return nullptr;
  if (container->layout() == nullptr) return new ConstraintLayout(container);
  return qobject_cast<ConstraintLayout*>(container->layout());
}

std::vector<LayoutConstraintPtr> ConstraintLayout::constraints() const { return m_constraints; }

std::optional<QRectF> ConstraintLayout::solvedFrame(const QObject* item) const {
  auto it = m_frames.find(item);
  if (it == m_frames.end()) return std::nullopt;
  return it->second;
}

void ConstraintLayout::layoutIfNeeded() {
  if (activate()) return;
  // A hidden container is resized without a resize event, so its pass may still be owed.
  if (geometry() != m_container->rect() || m_dirty) setGeometry(m_container->rect());
}

void ConstraintLayout::addItem(QLayoutItem* item) { m_items.push_back(item); }

QLayoutItem* ConstraintLayout::itemAt(int index) const {
  if (index < 0 || index >= count()) return nullptr;
  return m_items[static_cast<size_t>(index)];
}

QLayoutItem* ConstraintLayout::takeAt(int index) {
  if (index < 0 || index >= count()) return nullptr;
  QLayoutItem* item = m_items[static_cast<size_t>(index)];
  m_items.erase(m_items.begin() + index);
  return item;
}

int ConstraintLayout::count() const { return static_cast<int>(m_items.size()); }

QSize ConstraintLayout::sizeHint() const {
  if (m_fittingSize) return *m_fittingSize;
  // Solved once pulled in and once pushed out: where both agree, the content decides the size.
  const std::vector<LayoutConstraintPtr> live = liveConstraints();
  const QRectF hug = System::fit(m_hugSystem, m_container, SolveMode::fittingHug, live);
  const QRectF expand = System::fit(m_expandSystem, m_container, SolveMode::fittingExpand, live);
  const auto decided = [](double a, double b) {
    return std::abs(a - b) < 0.5 ? static_cast<int>(std::ceil(a - 1e-6)) : -1;
  };
  m_fittingSize =
      QSize(decided(hug.width(), expand.width()), decided(hug.height(), expand.height()));
  return *m_fittingSize;
}

QSize ConstraintLayout::minimumSize() const { return {0, 0}; }

void ConstraintLayout::setGeometry(const QRect& rect) {
  QLayout::setGeometry(rect);
  dropConstraintsOfGoneItems();
  // Items live in the container's own coordinates, whatever margins its contents have.
  solve(m_container->size());
  apply();
}

void ConstraintLayout::invalidate() {
  m_fittingSize.reset();
  m_dirty = true;
  QLayout::invalidate();
}

bool ConstraintLayout::eventFilter(QObject* watched, QEvent* event) {
  // A child that leaves the container takes its constraints with it at the next pass; a new
  // layout direction swaps leading and trailing.
  if (watched == m_container && ((event->type() == QEvent::ChildRemoved &&
                                  mayHoldConstraints(static_cast<QChildEvent*>(event)->child())) ||
                                 event->type() == QEvent::LayoutDirectionChange)) {
    invalidate();
  }
  return QLayout::eventFilter(watched, event);
}

bool ConstraintLayout::mayHoldConstraints(const QObject* child) const {
  // Other children come and go all the time (a slide's animation is one) and lay out nothing. The
  // child may be half destroyed: only its widget flag and its address are read.
  if (child->isWidgetType()) return true;
  return std::any_of(m_constraints.begin(), m_constraints.end(), [child](const auto& constraint) {
    const LayoutItem& first = constraint->firstItem();
    const LayoutItem& second = constraint->secondItem();
    // A destroyed guide has cleared its pointers by now.
    return first.isNull() || first.object() == child ||
           (constraint->secondAttribute() != LayoutAttribute::notAnAttribute &&
            (second.isNull() || second.object() == child));
  });
}

void ConstraintLayout::constantChanged() {
  // A new constant moves items within the container. The widgets around it lay out again only when
  // its fitting size, all they read of it, changes too: a slide's frame changes none.
  const std::optional<QSize> fitting = std::exchange(m_fittingSize, std::nullopt);
  if (fitting && sizeHint() != *fitting) {
    invalidate();
    return;
  }
  m_dirty = true;
  if (m_passPosted) return;
  m_passPosted = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        m_passPosted = false;
        layoutIfNeeded();
      },
      Qt::QueuedConnection);
}

void ConstraintLayout::install(const LayoutConstraintPtr& constraint) {
  constraint->m_layout = this;
  constraint->m_conflict = false;
  m_constraints.push_back(constraint);
  invalidate();
}

void ConstraintLayout::uninstall(const LayoutConstraint* constraint) {
  auto it = std::find_if(m_constraints.begin(), m_constraints.end(),
                         [&](const auto& held) { return held.get() == constraint; });
  if (it == m_constraints.end()) return;
  (*it)->m_layout = nullptr;
  (*it)->m_conflict = false;
  m_constraints.erase(it);
  invalidate();
}

std::vector<LayoutConstraintPtr> ConstraintLayout::liveConstraints() const {
  std::vector<LayoutConstraintPtr> live;
  for (const auto& constraint : m_constraints) {
    if (itemsStillHere(*constraint)) live.push_back(constraint);
  }
  return live;
}

bool ConstraintLayout::itemsStillHere(const LayoutConstraint& constraint) const {
  auto here = [this](const LayoutItem& item) {
    if (item.isNull()) return false;
    if (item.view() == m_container) return true;
    if (LayoutGuide* guide = item.guide()) return guide->owningView() == m_container;
    return item.view()->parentWidget() == m_container && !item.view()->isWindow();
  };
  if (!here(constraint.firstItem())) return false;
  return constraint.secondAttribute() == LayoutAttribute::notAnAttribute ||
         here(constraint.secondItem());
}

void ConstraintLayout::dropConstraintsOfGoneItems() {
  for (auto it = m_constraints.begin(); it != m_constraints.end();) {
    if (itemsStillHere(**it)) {
      ++it;
      continue;
    }
    (*it)->m_layout = nullptr;
    (*it)->m_conflict = false;
    it = m_constraints.erase(it);
  }
}

void ConstraintLayout::solve(QSize size) {
  m_dirty = false;
  if (m_system && m_system->sync(size, m_constraints)) return;
  // A fresh system puts the container's size and the widgets' own frames first, so that the
  // constraints that clash with them are the ones left out.
  m_system = std::make_unique<System>(m_container, SolveMode::exact);
  if (!m_system->sync(size, m_constraints)) {
    logError("The layout of {} cannot keep its own size and the frames of its children",
             m_container->objectName().toStdString());
  }
}

void ConstraintLayout::apply() {
  m_frames.clear();
  for (const auto& [item, variables] : m_system->variables) {
    if (item == m_container) continue;
    const QRectF frame = m_system->frameOf(item);
    m_frames[item] = frame;
    if (auto* guide = qobject_cast<LayoutGuide*>(const_cast<QObject*>(item))) {
      guide->m_frame = frame;
      continue;
    }
    auto* view = qobject_cast<QWidget*>(const_cast<QObject*>(item));
    if (view == nullptr || translatesAutoresizingMaskIntoConstraints(view)) continue;
    // Edges are rounded, not sizes, so that neighbours that touch stay touching.
    const int left = static_cast<int>(std::lround(frame.left()));
    const int top = static_cast<int>(std::lround(frame.top()));
    const int right = static_cast<int>(std::lround(frame.right()));
    const int bottom = static_cast<int>(std::lround(frame.bottom()));
    const QRect rect(left, top, right - left, bottom - top);
    if (view->geometry() != rect) view->setGeometry(rect);
  }
}

}  // namespace tessra::platform
