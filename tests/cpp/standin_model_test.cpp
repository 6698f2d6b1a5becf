// standin_model_test.cpp: the backend end to end on the stand-in solver library: real solves, forced outcomes and
// failures, and the release of every handle and of the library.
#include <doctest/doctest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "backend/environment.hpp"
#include "backend/model.hpp"
#include "recording_solver.hpp"
#include "standin/state/control_api.h"

using namespace brenlox_copt::backend;
using namespace brenlox_copt::testing;
using brenlox_copt::testing::error_text;
using brenlox_copt::testing::kInf;
using Kind = ConstraintSet::Kind;

namespace {

LibraryShare load_standin() {
  auto library = load_library(std::string(STANDIN_COPT));
  REQUIRE(library.has_value());
  return std::move(*library);
}

BackendModel standin_model() {
  auto environment = create_env(load_standin());
  REQUIRE(environment.has_value());
  auto model = BackendModel::create(make_record(std::move(*environment)));
  REQUIRE(model.has_value());
  REQUIRE(model->set_optimizer_attr({OptimizerAttribute::Silent{}}, true).has_value());
  return std::move(*model);
}

void check_nothing_left() {
  CHECK(standin_live(0) == 0);
  CHECK(standin_live(1) == 0);
  CHECK(standin_live(2) == 0);
  CHECK(standin_loaded() == 0);
}

/// max 3x + 2y subject to x + y <= 4 and x + 3y <= 6, with 0 <= x <= 3 and y >= 0: optimum 11 at (3, 1).
void build_production_plan(BackendModel& model) {
  std::vector<double> upper = {3.0, kInf};
  REQUIRE(add_variables(model, 2, {.upper_bounds = upper}).has_value());
  const std::vector<std::uint64_t> variables = {0, 1, 0, 1};
  const std::vector<double> coefficients = {1.0, 1.0, 1.0, 3.0};
  const std::vector<std::size_t> starts = {0, 2, 4};
  const std::vector<double> constants = {0.0, 0.0};
  const std::vector<ConstraintSet> sets = {{Kind::LessThan, 4.0}, {Kind::LessThan, 6.0}};
  REQUIRE(add_constraints(model, {variables, coefficients, RowStarts(starts), constants, sets}).has_value());
  const std::vector<std::uint64_t> objective_variables = {0, 1};
  const std::vector<double> objective_coefficients = {3.0, 2.0};
  REQUIRE(model.set_objective({objective_variables, objective_coefficients, 0.0}, ObjectiveSense::Maximize));
}

}  // namespace

TEST_CASE("an LP on an environment from a configuration solves, and its release leaves nothing loaded") {
  standin_reset();
  {
    auto config = ClientConfig::create(load_standin());
    REQUIRE(config.has_value());
    auto environment = create_env_with_config(*config);
    REQUIRE(environment.has_value());
    auto model = BackendModel::create(make_record(std::move(*environment)));
    REQUIRE(model.has_value());
    build_production_plan(*model);
    CHECK(model->set_optimizer_attr({OptimizerAttribute::Silent{}}, true).has_value());
    CHECK(model->optimize() == 1U);
    CHECK(model->get_var_value(0) == doctest::Approx(3.0));
    CHECK(model->get_var_value(1) == doctest::Approx(1.0));
    CHECK(model->get_objective_value() == doctest::Approx(11.0));
  }
  check_nothing_left();
}

TEST_CASE("a knapsack MIP solves with its solution read as a MIP's") {
  standin_reset();
  {
    BackendModel model = standin_model();
    // max 5a + 4b + 3c subject to 2a + 3b + c <= 5, all binary: optimum 9 at (1, 1, 0).
    const std::vector<char32_t> types = {U'B', U'B', U'B'};
    REQUIRE(add_variables(model, 3, {.types = types}).has_value());
    const std::vector<std::uint64_t> variables = {0, 1, 2};
    const std::vector<double> weights = {2.0, 3.0, 1.0};
    REQUIRE(add_constraint(model, {variables, weights, 0.0}, {Kind::LessThan, 5.0}).has_value());
    const std::vector<double> values = {5.0, 4.0, 3.0};
    REQUIRE(model.set_objective({variables, values, 0.0}, ObjectiveSense::Maximize).has_value());
    CHECK(model.optimize() == 1U);
    CHECK(model.get_objective_value() == doctest::Approx(9.0));
    CHECK(model.get_var_value(2) == doctest::Approx(0.0));
    CHECK(standin_call_count("COPT_GetSolution") == 1);
    CHECK(standin_call_count("COPT_GetLpSolution") == 0);
  }
  check_nothing_left();
}

TEST_CASE("contradictory constraints are infeasible; forced outcomes map like the solver's own") {
  standin_reset();
  BackendModel model = standin_model();
  REQUIRE(add_variables(model, 1).has_value());
  const std::vector<std::uint64_t> variables = {0};
  const std::vector<double> coefficients = {1.0};
  REQUIRE(add_constraint(model, {variables, coefficients, 0.0}, {Kind::GreaterThan, 2.0}).has_value());
  REQUIRE(add_constraint(model, {variables, coefficients, 0.0}, {Kind::LessThan, 1.0}).has_value());
  CHECK(model.optimize() == 2U);
  CHECK_FALSE(model.get_objective_value().has_value());

  const double forced = 1.5;
  REQUIRE(standin_force_int("Status", 8) == 0);
  REQUIRE(standin_force_int("HasSol", 1) == 0);
  REQUIRE(standin_force_solution(&forced, 1) == 0);
  CHECK(model.optimize() == 4U);
  CHECK(model.get_var_value(0) == 1.5);
  REQUIRE(standin_force_int("Status", 8) == 0);
  REQUIRE(standin_force_int("HasSol", 0) == 0);
  CHECK(model.optimize() == 0U);
  CHECK_FALSE(model.get_var_value(0).has_value());
}

TEST_CASE("a failed edit on the stand-in keeps the ids, and a failed creation leaves nothing behind") {
  standin_reset();
  {
    BackendModel model = standin_model();
    REQUIRE(add_variables(model, 1).has_value());
    const std::string refused = "  rows refused\n";
    REQUIRE(standin_set_message(6, refused.data(), static_cast<long long>(refused.size())) == 0);
    REQUIRE(standin_arm("COPT_AddRows", 0, 6, 1, 0) == 0);
    const std::vector<std::uint64_t> variables = {0};
    const std::vector<double> coefficients = {1.0};
    CHECK(error_text(add_constraint(model, {variables, coefficients, 0.0}, {Kind::LessThan, 1.0})) ==
          "COPT error in COPT_AddRows: code 6: rows refused");
    CHECK(add_constraint(model, {variables, coefficients, 0.0}, {Kind::LessThan, 1.0}) == 0U);
  }
  check_nothing_left();

  const std::string message = "no problem today";
  REQUIRE(standin_set_message(5, message.data(), static_cast<long long>(message.size())) == 0);
  REQUIRE(standin_arm("COPT_CreateProb", 1, 5, 1, 0) == 0);
  auto environment = create_env(load_standin());
  REQUIRE(environment.has_value());
  CHECK(error_text(BackendModel::create(make_record(std::move(*environment)))) ==
        "COPT error in COPT_CreateProb: code 5: no problem today");
  check_nothing_left();
}
