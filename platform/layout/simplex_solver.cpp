#include "platform/layout/simplex_solver.h"

#include <cmath>
#include <functional>
#include <limits>
#include <stdexcept>
#include <utility>

namespace tessra::platform {

namespace {

constexpr double kEpsilon = 1.0e-8;

bool nearZero(double value) { return std::abs(value) < kEpsilon; }

enum class SymbolType { external, slack, error, dummy };

// One row of the tableau: basic symbol = constant + sum of coefficient x symbol. Cells are kept
// in symbol order so that every choice of pivot, and so every result, is repeatable.
struct Row {
  double constant = 0;
  std::map<int, double> cells;

  void insert(int symbol, double coefficient) {
    double& cell = cells[symbol];
    cell += coefficient;
    if (nearZero(cell)) cells.erase(symbol);
  }
  void insert(const Row& other, double coefficient) {
    constant += other.constant * coefficient;
    for (const auto& [symbol, value] : other.cells) insert(symbol, value * coefficient);
  }
  double coefficientFor(int symbol) const {
    auto it = cells.find(symbol);
    return it == cells.end() ? 0.0 : it->second;
  }
  void reverseSign() {
    constant = -constant;
    for (auto& [symbol, value] : cells) value = -value;
  }
  // Rewrites `0 = row` as `symbol = ...`.
  void solveFor(int symbol) {
    const double factor = -1.0 / cells.at(symbol);
    cells.erase(symbol);
    constant *= factor;
    for (auto& [other, value] : cells) value *= factor;
  }
  // Rewrites `lhs = row` (row holding rhs) as `rhs = ...`.
  void solveFor(int lhs, int rhs) {
    insert(lhs, -1.0);
    solveFor(rhs);
  }
  void substitute(int symbol, const Row& row) {
    auto it = cells.find(symbol);
    if (it == cells.end()) return;
    const double coefficient = it->second;
    cells.erase(it);
    insert(row, coefficient);
  }
};

struct Tag {
  int marker = -1;
  int other = -1;
};

// The cost of one symbol in the objective, one coefficient per strength, strongest first. Costs
// compare strength by strength, so an error of a stronger relation outweighs any number of
// errors of weaker ones: a single number could not keep a thousand priorities apart that way.
struct Weight {
  std::map<double, double, std::greater<>> levels;

  void add(double strength, double coefficient) {
    double& level = levels[strength];
    level += coefficient;
    if (nearZero(level)) levels.erase(strength);
  }
  bool empty() const { return levels.empty(); }
  bool isNegative() const { return !levels.empty() && levels.begin()->second < 0; }
};

// Whether a / divisorA < b / divisorB, strength by strength (both divisors positive).
bool lessScaled(const Weight& a, double divisorA, const Weight& b, double divisorB) {
  auto left = a.levels.begin();
  auto right = b.levels.begin();
  while (left != a.levels.end() || right != b.levels.end()) {
    double x = 0;
    double y = 0;
    if (right == b.levels.end() || (left != a.levels.end() && left->first > right->first)) {
      x = left++->second / divisorA;
    } else if (left == a.levels.end() || right->first > left->first) {
      y = right++->second / divisorB;
    } else {
      x = left++->second / divisorA;
      y = right++->second / divisorB;
    }
    if (!nearZero(x - y)) return x < y;
  }
  return false;
}

// What the solver minimises: the weighted errors of the relations that are not required. Only
// the coefficients of the non-basic symbols are kept; they alone decide the pivots.
struct Objective {
  std::map<int, Weight> cells;

  void insert(int symbol, double strength, double coefficient) {
    Weight& weight = cells[symbol];
    weight.add(strength, coefficient);
    if (weight.empty()) cells.erase(symbol);
  }
  void insert(const Row& row, double strength, double coefficient) {
    for (const auto& [symbol, value] : row.cells) insert(symbol, strength, value * coefficient);
  }
  void substitute(int symbol, const Row& row) {
    auto it = cells.find(symbol);
    if (it == cells.end()) return;
    const Weight weight = std::move(it->second);
    cells.erase(it);
    for (const auto& [strength, coefficient] : weight.levels) insert(row, strength, coefficient);
  }
};

}  // namespace

struct SimplexSolver::Tableau {
  std::vector<SymbolType> types;
  std::map<int, Row> rows;
  std::map<Variable, int> variables;
  std::map<ConstraintId, Tag> tags;
  std::map<Variable, double> editValues;
  Objective objective;
  std::unique_ptr<Row> artificial;
  std::vector<int> infeasible;

  int newSymbol(SymbolType type) {
    types.push_back(type);
    return static_cast<int>(types.size()) - 1;
  }
  SymbolType type(int symbol) const { return types[static_cast<size_t>(symbol)]; }
  bool isErrorOrSlack(int symbol) const {
    return symbol >= 0 && (type(symbol) == SymbolType::slack || type(symbol) == SymbolType::error);
  }

  int symbolFor(Variable variable) {
    auto it = variables.find(variable);
    if (it != variables.end()) return it->second;
    const int symbol = newSymbol(SymbolType::external);
    variables.emplace(variable, symbol);
    return symbol;
  }

  Row createRow(const Expression& expression, Relation relation, double strength, Tag& tag) {
    Row row;
    row.constant = expression.constant;
    for (const Term& term : expression.terms) {
      if (nearZero(term.coefficient)) continue;
      const int symbol = symbolFor(term.variable);
      auto basic = rows.find(symbol);
      if (basic != rows.end()) {
        row.insert(basic->second, term.coefficient);
      } else {
        row.insert(symbol, term.coefficient);
      }
    }
    const bool required = strength >= kRequired;
    if (relation == Relation::equal) {
      if (required) {
        tag.marker = newSymbol(SymbolType::dummy);
        row.insert(tag.marker, 1.0);
      } else {
        tag.marker = newSymbol(SymbolType::error);
        tag.other = newSymbol(SymbolType::error);
        row.insert(tag.marker, -1.0);
        row.insert(tag.other, 1.0);
        objective.insert(tag.marker, strength, 1.0);
        objective.insert(tag.other, strength, 1.0);
      }
    } else {
      const double sign = relation == Relation::lessOrEqual ? 1.0 : -1.0;
      tag.marker = newSymbol(SymbolType::slack);
      row.insert(tag.marker, sign);
      if (!required) {
        tag.other = newSymbol(SymbolType::error);
        row.insert(tag.other, -sign);
        objective.insert(tag.other, strength, 1.0);
      }
    }
    if (row.constant < 0) row.reverseSign();
    return row;
  }

  int chooseSubject(const Row& row, const Tag& tag) const {
    for (const auto& [symbol, coefficient] : row.cells) {
      if (type(symbol) == SymbolType::external) return symbol;
    }
    if (isErrorOrSlack(tag.marker) && row.coefficientFor(tag.marker) < 0) return tag.marker;
    if (isErrorOrSlack(tag.other) && row.coefficientFor(tag.other) < 0) return tag.other;
    return -1;
  }

  bool allDummies(const Row& row) const {
    for (const auto& [symbol, coefficient] : row.cells) {
      if (type(symbol) != SymbolType::dummy) return false;
    }
    return true;
  }

  void substitute(int symbol, const Row& row) {
    for (auto& [basic, other] : rows) {
      other.substitute(symbol, row);
      if (type(basic) != SymbolType::external && other.constant < 0) infeasible.push_back(basic);
    }
    objective.substitute(symbol, row);
    if (artificial) artificial->substitute(symbol, row);
  }

  int enteringSymbol(const Row& target) const {
    for (const auto& [symbol, coefficient] : target.cells) {
      if (type(symbol) != SymbolType::dummy && coefficient < 0) return symbol;
    }
    return -1;
  }

  int enteringSymbol(const Objective& target) const {
    for (const auto& [symbol, weight] : target.cells) {
      if (type(symbol) != SymbolType::dummy && weight.isNegative()) return symbol;
    }
    return -1;
  }

  int leavingRow(int entering) const {
    double ratio = std::numeric_limits<double>::max();
    int found = -1;
    for (const auto& [basic, row] : rows) {
      if (type(basic) == SymbolType::external) continue;
      const double coefficient = row.coefficientFor(entering);
      if (coefficient >= 0) continue;
      const double candidate = -row.constant / coefficient;
      if (candidate < ratio) {
        ratio = candidate;
        found = basic;
      }
    }
    return found;
  }

  void pivot(int leaving, int entering) {
    Row row = std::move(rows.at(leaving));
    rows.erase(leaving);
    row.solveFor(leaving, entering);
    substitute(entering, row);
    rows[entering] = std::move(row);
  }

  template <class Target>
  void optimize(const Target& target) {
    for (;;) {
      const int entering = enteringSymbol(target);
      if (entering < 0) return;
      const int leaving = leavingRow(entering);
      // The objective is a weighted sum of non-negative errors and so has a lower bound.
      if (leaving < 0) throw std::logic_error("layout solver: objective is unbounded");
      pivot(leaving, entering);
    }
  }

  int dualEnteringSymbol(const Row& row) const {
    static const Weight kNone;
    const Weight* best = nullptr;
    double bestCoefficient = 1.0;
    int entering = -1;
    for (const auto& [symbol, coefficient] : row.cells) {
      if (coefficient <= 0 || type(symbol) == SymbolType::dummy) continue;
      const auto it = objective.cells.find(symbol);
      const Weight& weight = it == objective.cells.end() ? kNone : it->second;
      if (!best || lessScaled(weight, coefficient, *best, bestCoefficient)) {
        best = &weight;
        bestCoefficient = coefficient;
        entering = symbol;
      }
    }
    return entering;
  }

  void dualOptimize() {
    while (!infeasible.empty()) {
      const int leaving = infeasible.back();
      infeasible.pop_back();
      auto it = rows.find(leaving);
      if (it == rows.end() || it->second.constant >= 0) continue;
      const int entering = dualEnteringSymbol(it->second);
      if (entering < 0) throw std::logic_error("layout solver: dual optimization failed");
      pivot(leaving, entering);
    }
  }

  int anyPivotableSymbol(const Row& row) const {
    for (const auto& [symbol, coefficient] : row.cells) {
      if (type(symbol) == SymbolType::slack || type(symbol) == SymbolType::error) return symbol;
    }
    return -1;
  }

  bool addWithArtificialVariable(const Row& row) {
    const int art = newSymbol(SymbolType::slack);
    rows[art] = row;
    artificial = std::make_unique<Row>(row);
    optimize(*artificial);
    const bool success = nearZero(artificial->constant);
    artificial.reset();

    auto it = rows.find(art);
    if (it != rows.end()) {
      Row artRow = std::move(it->second);
      rows.erase(it);
      if (artRow.cells.empty()) return success;
      const int entering = anyPivotableSymbol(artRow);
      if (entering < 0) return false;
      artRow.solveFor(art, entering);
      substitute(entering, artRow);
      rows[entering] = std::move(artRow);
    }
    for (auto& [basic, other] : rows) other.cells.erase(art);
    objective.cells.erase(art);
    return success;
  }

  // Returns false when a required relation cannot hold; the tableau must then be rebuilt.
  bool add(ConstraintId id, const Expression& expression, Relation relation, double strength) {
    Tag tag;
    Row row = createRow(expression, relation, strength, tag);
    int subject = chooseSubject(row, tag);
    if (subject < 0 && allDummies(row)) {
      if (!nearZero(row.constant)) return false;
      subject = tag.marker;
    }
    if (subject < 0) {
      if (!addWithArtificialVariable(row)) return false;
    } else {
      row.solveFor(subject);
      substitute(subject, row);
      rows[subject] = std::move(row);
    }
    tags[id] = tag;
    optimize(objective);
    return true;
  }

  int markerLeavingRow(int marker) const {
    double firstRatio = std::numeric_limits<double>::max();
    double secondRatio = firstRatio;
    int first = -1;
    int second = -1;
    int third = -1;
    for (const auto& [basic, row] : rows) {
      const double coefficient = row.coefficientFor(marker);
      if (coefficient == 0.0) continue;
      if (type(basic) == SymbolType::external) {
        third = basic;
      } else if (coefficient < 0) {
        const double ratio = -row.constant / coefficient;
        if (ratio < firstRatio) {
          firstRatio = ratio;
          first = basic;
        }
      } else {
        const double ratio = row.constant / coefficient;
        if (ratio < secondRatio) {
          secondRatio = ratio;
          second = basic;
        }
      }
    }
    if (first >= 0) return first;
    if (second >= 0) return second;
    return third;
  }

  void removeErrorEffects(int marker, double strength) {
    if (marker < 0 || type(marker) != SymbolType::error) return;
    auto it = rows.find(marker);
    if (it != rows.end()) {
      objective.insert(it->second, strength, -1.0);
    } else {
      objective.insert(marker, strength, -1.0);
    }
  }

  void remove(ConstraintId id, double strength) {
    auto found = tags.find(id);
    if (found == tags.end()) return;
    const Tag tag = found->second;
    tags.erase(found);
    removeErrorEffects(tag.marker, strength);
    removeErrorEffects(tag.other, strength);
    auto it = rows.find(tag.marker);
    if (it != rows.end()) {
      rows.erase(it);
    } else {
      const int leaving = markerLeavingRow(tag.marker);
      if (leaving < 0) throw std::logic_error("layout solver: constraint marker not found");
      pivot(leaving, tag.marker);
      rows.erase(tag.marker);
    }
    optimize(objective);
  }

  void suggest(const Tag& tag, double delta) {
    auto it = rows.find(tag.marker);
    if (it != rows.end()) {
      it->second.constant -= delta;
      if (it->second.constant < 0) infeasible.push_back(tag.marker);
      dualOptimize();
      return;
    }
    it = rows.find(tag.other);
    if (it != rows.end()) {
      it->second.constant += delta;
      if (it->second.constant < 0) infeasible.push_back(tag.other);
      dualOptimize();
      return;
    }
    for (auto& [basic, row] : rows) {
      const double coefficient = row.coefficientFor(tag.marker);
      if (coefficient == 0.0) continue;
      row.constant += delta * coefficient;
      if (row.constant < 0 && type(basic) != SymbolType::external) infeasible.push_back(basic);
    }
    dualOptimize();
  }
};

SimplexSolver::SimplexSolver() : m_tableau(std::make_unique<Tableau>()) {}

SimplexSolver::~SimplexSolver() = default;

SimplexSolver::Variable SimplexSolver::addVariable() { return m_nextVariable++; }

double SimplexSolver::value(Variable variable) const {
  auto symbol = m_tableau->variables.find(variable);
  if (symbol == m_tableau->variables.end()) return 0.0;
  auto row = m_tableau->rows.find(symbol->second);
  return row == m_tableau->rows.end() ? 0.0 : row->second.constant;
}

bool SimplexSolver::insert(ConstraintId id, const Definition& definition) {
  return m_tableau->add(id, definition.expression, definition.relation, definition.strength);
}

std::optional<SimplexSolver::ConstraintId> SimplexSolver::addConstraint(
    const Expression& expression, Relation relation, double strength) {
  const ConstraintId id = m_nextConstraint++;
  Definition definition{expression, relation, strength};
  if (!insert(id, definition)) {
    rebuildWithout(id);
    return std::nullopt;
  }
  m_definitions.emplace(id, std::move(definition));
  return id;
}

// A refused relation may have left part of itself in the tableau; replaying the accepted ones
// on a fresh tableau gives back exactly the solver as it was before.
void SimplexSolver::rebuildWithout(ConstraintId refused) {
  m_tableau = std::make_unique<Tableau>();
  for (const auto& [id, definition] : m_definitions) {
    if (id == refused) continue;
    if (!insert(id, definition)) throw std::logic_error("layout solver: replay failed");
  }
  for (const auto& [variable, edit] : m_edits) {
    const Tag tag = m_tableau->tags.at(edit.constraint);
    m_tableau->suggest(tag, edit.value);
  }
}

void SimplexSolver::removeConstraint(ConstraintId id) {
  auto it = m_definitions.find(id);
  if (it == m_definitions.end()) return;
  m_tableau->remove(id, it->second.strength);
  m_definitions.erase(it);
}

bool SimplexSolver::hasConstraint(ConstraintId id) const { return m_definitions.contains(id); }

void SimplexSolver::addEditVariable(Variable variable, double strength) {
  if (m_edits.contains(variable)) return;
  if (strength >= kRequired) strength = kRequired / 2;
  auto id = addConstraint(Expression{{{variable, 1.0}}, 0.0}, Relation::equal, strength);
  // A relation that is not required is always accepted.
  m_edits.emplace(variable, Edit{*id, 0.0});
}

void SimplexSolver::removeEditVariable(Variable variable) {
  auto it = m_edits.find(variable);
  if (it == m_edits.end()) return;
  const ConstraintId id = it->second.constraint;
  m_edits.erase(it);
  removeConstraint(id);
}

bool SimplexSolver::hasEditVariable(Variable variable) const { return m_edits.contains(variable); }

void SimplexSolver::suggestValue(Variable variable, double value) {
  auto it = m_edits.find(variable);
  if (it == m_edits.end()) return;
  const double delta = value - it->second.value;
  it->second.value = value;
  m_tableau->suggest(m_tableau->tags.at(it->second.constraint), delta);
}

}  // namespace tessra::platform
