// constraints_test.cpp: constraint batches: row arrays and bounds sent to the solver, check order, and failures.
#include <doctest/doctest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "backend/model.hpp"
#include "recording_solver.hpp"

#ifndef _WIN32
#include <sys/mman.h>
#endif

using namespace brenlox_copt::backend;
using namespace brenlox_copt::testing;
using Kind = ConstraintSet::Kind;

namespace {

/// The owned arrays behind a ConstraintBatch, built row by row as the Python layer would.
struct Rows {
  std::vector<std::uint64_t> variables;
  std::vector<double> coefficients;
  std::vector<std::size_t> starts{0};
  std::vector<double> constants;
  std::vector<ConstraintSet> sets;

  Rows& row(std::vector<std::uint64_t> ids, std::vector<double> values, double constant, ConstraintSet set) {
    variables.insert(variables.end(), ids.begin(), ids.end());
    coefficients.insert(coefficients.end(), values.begin(), values.end());
    starts.push_back(variables.size());
    constants.push_back(constant);
    sets.push_back(set);
    return *this;
  }

  [[nodiscard]] ConstraintBatch batch(std::optional<std::span<const TerminatedText>> names = std::nullopt) const {
    return {variables, coefficients, RowStarts(starts), constants, sets, names};
  }
};

}  // namespace

TEST_CASE("a batch reaches the solver as compressed rows in one call, coefficients uncopied") {
  RecordingSolver solver;
  BackendModel model = new_model(solver, 3);
  Rows rows;
  rows.row({0, 2}, {1.0, 2.0}, 0.0, {Kind::LessThan, 4.0})
      .row({}, {}, 0.0, {Kind::GreaterThan, -1.0})
      .row({1, 1}, {3.0, 4.0}, 0.0, {Kind::EqualTo, 0.5});
  ConstraintBatch batch = rows.batch();
  const double* coefficients = batch.coefficients.data();
  auto ids = add_constraints(model, std::move(batch));
  REQUIRE(ids.has_value());
  CHECK(ids->first == 0);
  CHECK(ids->count == 3);
  CHECK(constraint_count(model) == 3);
  CHECK(solver.calls == Calls{"COPT_AddRows(3)"});
  const auto& added = solver.added_rows.at(0);
  CHECK(added.starts == std::vector<int>{0, 2, 2});
  CHECK(added.counts == std::vector<int>{2, 0, 2});
  CHECK(added.columns == std::vector<int>{0, 2, 1, 1});
  CHECK(added.values == std::vector<double>{1.0, 2.0, 3.0, 4.0});
  CHECK(added.values_address == coefficients);
  CHECK(added.senses_null);
  CHECK(added.lower == std::vector<double>{-1e30, -1, 0.5});
  CHECK(added.upper == std::vector<double>{4, 1e30, 0.5});
  CHECK(added.names == std::vector<std::string>{"c0", "c1", "c2"});
}

TEST_CASE("row bounds move the constant over and are clamped to the solver's infinity") {
  struct Case {
    ConstraintSet set;
    double constant;
    double lower;
    double upper;
  };
  const std::vector<Case> cases = {
      {{Kind::GreaterThan, 5.0}, 2.0, 3.0, 1e30},   {{Kind::LessThan, 5.0}, 2.0, -1e30, 3.0},
      {{Kind::EqualTo, 5.0}, 2.0, 3.0, 3.0},        {{Kind::LessThan, kInf}, 0.0, -1e30, 1e30},
      {{Kind::GreaterThan, -1e40}, 0.0, -1e30, 1e30}, {{Kind::EqualTo, 1e40}, -1.0, 1e30, 1e30},
  };
  RecordingSolver solver;
  BackendModel model = new_model(solver, 1);
  for (const Case& c : cases) {
    const std::vector<std::uint64_t> variables = {0};
    const std::vector<double> coefficients = {1.0};
    REQUIRE(add_constraint(model, {variables, coefficients, c.constant}, c.set).has_value());
    CHECK(solver.added_rows.back().lower == std::vector<double>{c.lower});
    CHECK(solver.added_rows.back().upper == std::vector<double>{c.upper});
  }
}

TEST_CASE("a batch whose rows have no terms passes null column and value arrays") {
  RecordingSolver solver;
  BackendModel model = new_model(solver, 0);
  Rows rows;
  rows.row({}, {}, 1.0, {Kind::LessThan, 1.0}).row({}, {}, 0.0, {Kind::GreaterThan, 0.0});
  REQUIRE(add_constraints(model, rows.batch()).has_value());
  const auto& added = solver.added_rows.at(0);
  CHECK(added.columns_null);
  CHECK(added.values_null);
  CHECK(added.starts == std::vector<int>{0, 0});
  CHECK(added.counts == std::vector<int>{0, 0});
}

TEST_CASE("names: given ones as given, default ones by id across batches") {
  RecordingSolver solver;
  BackendModel model = new_model(solver, 1);
  Rows two;
  two.row({0}, {1.0}, 0.0, {Kind::LessThan, 1.0}).row({0}, {1.0}, 0.0, {Kind::LessThan, 1.0});
  REQUIRE(add_constraints(model, two.batch()).has_value());
  Rows three = two;
  three.row({0}, {1.0}, 0.0, {Kind::LessThan, 1.0});
  auto ids = add_constraints(model, three.batch());
  REQUIRE(ids.has_value());
  CHECK(ids->first == 2);
  CHECK(solver.added_rows.at(1).names == std::vector<std::string>{"c2", "c3", "c4"});

  const std::string name = "capacity";
  const std::vector<std::uint64_t> variables = {0};
  const std::vector<double> coefficients = {1.0};
  auto id = add_constraint(model, {variables, coefficients, 0.0}, {Kind::EqualTo, 1.0}, TerminatedText(name));
  REQUIRE(id.has_value());
  CHECK(*id == 5);
  CHECK(solver.added_rows.back().names == std::vector<std::string>{"capacity"});
}

TEST_CASE("a refused batch changes nothing, and the next batch gets its ids") {
  RecordingSolver solver;
  BackendModel model = new_model(solver, 2);
  solve_to_cached_results(model, solver);
  const std::string plain = "ok";
  const std::string nul("a\0b", 3);
  const std::vector<TerminatedText> one_name = {TerminatedText(plain)};
  const std::vector<TerminatedText> nul_first = {TerminatedText(nul), TerminatedText(plain)};
  Rows rows;
  std::optional<std::span<const TerminatedText>> names;
  std::string expected;
  SUBCASE("fewer sets than functions") {
    rows.row({0}, {1.0}, 0.0, {Kind::LessThan, 1.0});
    rows.sets.clear();
    expected = "Invalid input: constraint sets has length 0, expected 1";
  }
  SUBCASE("fewer names than functions") {
    rows.row({0}, {1.0}, 0.0, {Kind::LessThan, 1.0}).row({0}, {1.0}, 0.0, {Kind::LessThan, 1.0});
    names = one_name;
    expected = "Invalid input: constraint names has length 1, expected 2";
  }
  SUBCASE("an infinite constant, before the row's terms") {
    rows.row({7}, {kNaN}, kInf, {Kind::LessThan, 1.0});
    expected = "Invalid input: constraint constant must be finite, got inf";
  }
  SUBCASE("a variable that does not exist, before its coefficient") {
    rows.row({2}, {kNaN}, 0.0, {Kind::LessThan, 1.0});
    expected = "Invalid variable index: 2";
  }
  SUBCASE("a NaN coefficient") {
    rows.row({1}, {kNaN}, 0.0, {Kind::LessThan, 1.0});
    expected = "Invalid input: constraint coefficient must be finite, got NaN";
  }
  SUBCASE("EqualTo NaN") {
    rows.row({0}, {1.0}, 0.0, {Kind::EqualTo, kNaN});
    expected = "Invalid input: constraint 0 has invalid bounds [NaN, NaN]";
  }
  SUBCASE("GreaterThan NaN, in the batch's second row") {
    rows.row({0}, {1.0}, 0.0, {Kind::LessThan, 1.0}).row({0}, {1.0}, 0.0, {Kind::GreaterThan, kNaN});
    expected = "Invalid input: constraint 1 produces a NaN bound";
  }
  SUBCASE("a missing variable in the second row before a zero byte in the first name") {
    rows.row({0}, {1.0}, 0.0, {Kind::LessThan, 1.0}).row({5}, {1.0}, 0.0, {Kind::LessThan, 1.0});
    names = nul_first;
    expected = "Invalid variable index: 5";
  }
  SUBCASE("a NaN bound in the first row before a missing variable in the second") {
    rows.row({0}, {1.0}, 0.0, {Kind::LessThan, kNaN}).row({5}, {1.0}, 0.0, {Kind::LessThan, 1.0});
    expected = "Invalid input: constraint 0 produces a NaN bound";
  }
  SUBCASE("an infinite constant in the second row before a NaN coefficient in the third") {
    rows.row({0}, {1.0}, 0.0, {Kind::LessThan, 1.0}).row({1}, {1.0}, kInf, {Kind::LessThan, 1.0})
        .row({1}, {kNaN}, 0.0, {Kind::LessThan, 1.0});
    expected = "Invalid input: constraint constant must be finite, got inf";
  }
  SUBCASE("a zero byte in a name") {
    rows.row({0}, {1.0}, 0.0, {Kind::LessThan, 1.0}).row({1}, {1.0}, 0.0, {Kind::LessThan, 1.0});
    names = nul_first;
    expected = "Invalid name: constraint name contains an embedded NUL byte";
  }
  SUBCASE("row starts that do not describe the terms") {
    rows.row({0}, {1.0}, 0.0, {Kind::LessThan, 1.0});
    rows.starts.back() = 2;
    expected = "Backend state error: malformed constraint batch";
  }
  SUBCASE("fewer coefficients than variables") {
    rows.row({0, 1}, {1.0, 1.0}, 0.0, {Kind::LessThan, 1.0});
    rows.coefficients.pop_back();
    expected = "Backend state error: malformed constraint batch";
  }
  SUBCASE("constants without row starts") {
    rows.row({}, {}, 0.0, {Kind::LessThan, 1.0});
    rows.starts.clear();
    expected = "Backend state error: malformed constraint batch";
  }
  SUBCASE("terms without row starts") {
    rows.variables = {0};
    rows.coefficients = {1.0};
    rows.starts.clear();
    expected = "Backend state error: malformed constraint batch";
  }
  SUBCASE("row starts that do not begin at 0") {
    rows.row({0}, {1.0}, 0.0, {Kind::LessThan, 1.0});
    rows.starts.front() = 1;
    expected = "Backend state error: malformed constraint batch";
  }
  SUBCASE("row starts that go back, in the second row") {
    rows.row({0, 1}, {1.0, 1.0}, 0.0, {Kind::LessThan, 1.0}).row({}, {}, 0.0, {Kind::LessThan, 1.0})
        .row({}, {}, 0.0, {Kind::LessThan, 1.0});
    rows.starts = {0, 2, 1, 2};
    expected = "Backend state error: malformed constraint batch";
  }
  SUBCASE("the solver refuses the rows") {
    rows.row({0}, {1.0}, 0.0, {Kind::LessThan, 1.0});
    solver.fail("COPT_AddRows", 12);
    solver.fail("COPT_GetRetcodeMsg", 1);
    expected = "COPT error in COPT_AddRows: code 12";
  }
  CHECK(error_text(add_constraints(model, rows.batch(names))) == expected);
  CHECK(constraint_count(model) == 0);
  CHECK(model.get_objective_value() == 7.0);
  solver.statuses.clear();
  const std::vector<std::uint64_t> variables = {1};
  const std::vector<double> coefficients = {1.0};
  auto id = add_constraint(model, {variables, coefficients, 0.0}, {Kind::LessThan, 1.0});
  CHECK(id == 0);
  CHECK(solver.added_rows.back().names == std::vector<std::string>{"c0"});
  CHECK_FALSE(model.get_objective_value().has_value());
}

TEST_CASE("an empty batch makes no call and keeps the cached results, but its lengths are still checked") {
  RecordingSolver solver;
  BackendModel model = new_model(solver, 1);
  solve_to_cached_results(model, solver);
  Rows rows;
  auto ids = add_constraints(model, rows.batch());
  REQUIRE(ids.has_value());
  CHECK(ids->count == 0);
  CHECK(add_constraints(model, ConstraintBatch{}).has_value());
  CHECK(solver.calls.empty());
  CHECK(model.get_var_value(0) == 1.5);
  const std::string name = "n";
  const std::vector<TerminatedText> names = {TerminatedText(name)};
  CHECK(error_text(add_constraints(model, rows.batch(names))) ==
        "Invalid input: constraint names has length 1, expected 0");
}

#ifndef _WIN32
namespace {

/// `count` zero elements in memory that reading leaves backed by the kernel's shared zero page.
template <class T>
class ZeroPages {
 public:
  explicit ZeroPages(std::size_t count) : m_bytes(count * sizeof(T)) {
    m_data = mmap(nullptr, m_bytes, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    REQUIRE(m_data != MAP_FAILED);
    static_cast<void>(madvise(m_data, m_bytes, MADV_HUGEPAGE));
  }
  ZeroPages(const ZeroPages&) = delete;
  ZeroPages& operator=(const ZeroPages&) = delete;
  ~ZeroPages() { munmap(m_data, m_bytes); }

  [[nodiscard]] std::span<const T> span() const noexcept {
    return {static_cast<const T*>(m_data), m_bytes / sizeof(T)};
  }

 private:
  std::size_t m_bytes;
  void* m_data;
};

}  // namespace

TEST_CASE("a batch of more rows than a c_int counts is refused before any row is read") {
  RecordingSolver solver;
  BackendModel model = new_model(solver, 1);
  constexpr std::size_t kPastMax = 2147483648;
  const std::vector<ConstraintSet> one_set = {{Kind::LessThan, 1.0}};
  // Zero-filled row starts: every row is empty, so the batch is well formed.
  const ZeroPages<std::size_t> starts(kPastMax + 1);
  const ZeroPages<double> constants(kPastMax);
  CHECK(error_text(add_constraints(model, {{}, {}, RowStarts(starts.span()), constants.span(), one_set})) ==
        "Invalid input: constraint count exceeds COPT's c_int range");
  CHECK(solver.calls.empty());
  CHECK(constraint_count(model) == 0);
}
#endif

TEST_CASE("a prepared batch knows its ids before the call and changes nothing until its commit") {
  RecordingSolver solver;
  BackendModel model = new_model(solver, 2);
  solve_to_cached_results(model, solver);
  Rows rows;
  rows.row({0}, {1.0}, 0.0, {Kind::LessThan, 1.0}).row({1}, {2.0}, 0.0, {Kind::GreaterThan, 0.0});
  const std::vector<std::uint64_t> variables{1};
  const std::vector<double> coefficients{1.0};
  SUBCASE("a batch, prepared and dropped") {
    auto prepared = model.prepare_constraints(rows.batch());
    REQUIRE(prepared.has_value());
    CHECK(prepared->ids().first == 0);
    CHECK(prepared->ids().count == 2);
  }
  SUBCASE("one constraint, prepared and dropped") {
    auto prepared = model.prepare_constraint({variables, coefficients, 0.0}, {Kind::EqualTo, 1.0});
    REQUIRE(prepared.has_value());
    CHECK(prepared->ids().count == 1);
  }
  SUBCASE("a batch whose ids another batch took since, or of another model, is refused") {
    auto first = model.prepare_constraints(rows.batch());
    auto second = model.prepare_constraint({variables, coefficients, 0.0}, {Kind::EqualTo, 1.0});
    REQUIRE(first.has_value());
    REQUIRE(second.has_value());
    BackendModel other = new_model(solver, 2);
    CHECK(error_text(other.commit(std::move(*first))) ==
          "Backend state error: the batch was prepared for another model or an earlier state");
    REQUIRE(add_constraints(model, rows.batch()).has_value());
    solver.added_rows.clear();
    CHECK(error_text(model.commit(std::move(*second))) ==
          "Backend state error: the batch was prepared for another model or an earlier state");
    CHECK(constraint_count(model) == 2);
    CHECK(constraint_count(other) == 0);
    CHECK(solver.added_rows.empty());
    return;
  }
  CHECK(solver.added_rows.empty());
  CHECK(constraint_count(model) == 0);
  CHECK(model.get_objective_value() == 7.0);
  auto committed = model.commit(model.prepare_constraints(rows.batch()).value());
  REQUIRE(committed.has_value());
  CHECK(committed->first == 0);
  CHECK(solver.added_rows.size() == 1);
}
