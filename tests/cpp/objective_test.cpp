// objective_test.cpp: the objective's three native calls, summing of repeated variables, checks and failures.
#include <doctest/doctest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "backend/model.hpp"
#include "recording_solver.hpp"

using namespace brenlox_copt::backend;
using namespace brenlox_copt::testing;

TEST_CASE("the whole objective is sent: every coefficient, summed in term order, then constant, then sense") {
  RecordingSolver solver;
  BackendModel model = new_model(solver, 3);
  const std::vector<std::uint64_t> variables = {2, 0, 2};
  const std::vector<double> coefficients = {2.0, -1.5, 3.0};
  SUBCASE("minimize") {
    REQUIRE(model.set_objective({variables, coefficients, 2.5}, ObjectiveSense::Minimize).has_value());
    CHECK(solver.calls == Calls{"COPT_SetColObj(3)", "COPT_SetObjConst(2.5)", "COPT_SetObjSense(1)"});
  }
  SUBCASE("maximize") {
    REQUIRE(model.set_objective({variables, coefficients, 2.5}, ObjectiveSense::Maximize).has_value());
    CHECK(solver.calls == Calls{"COPT_SetColObj(3)", "COPT_SetObjConst(2.5)", "COPT_SetObjSense(-1)"});
  }
  CHECK(solver.objectives.at(0).indices == std::vector<int>{0, 1, 2});
  CHECK(solver.objectives.at(0).values == std::vector<double>{-1.5, 0.0, 5.0});

  // A later objective on fewer variables zeroes the others.
  const std::vector<std::uint64_t> one = {1};
  const std::vector<double> weight = {4.0};
  REQUIRE(model.set_objective({one, weight, 0.0}, ObjectiveSense::Minimize).has_value());
  CHECK(solver.objectives.at(1).values == std::vector<double>{0.0, 4.0, 0.0});
}

TEST_CASE("without variables only the constant and the sense are sent") {
  RecordingSolver solver;
  BackendModel model = new_model(solver);
  REQUIRE(model.set_objective({{}, {}, -3.0}, ObjectiveSense::Maximize).has_value());
  CHECK(solver.calls == Calls{"COPT_SetObjConst(-3)", "COPT_SetObjSense(-1)"});
  const std::vector<std::uint64_t> variables = {0};
  const std::vector<double> coefficients = {1.0};
  CHECK(error_text(model.set_objective({variables, coefficients, 0.0}, ObjectiveSense::Minimize)) ==
        "Invalid variable index: 0");
}

TEST_CASE("a refused objective sends nothing and keeps the cached results") {
  RecordingSolver solver;
  BackendModel model = new_model(solver, 5);
  solve_to_cached_results(model, solver);
  std::vector<std::uint64_t> variables;
  std::vector<double> coefficients;
  double constant = 0.0;
  std::string expected;
  SUBCASE("a NaN constant, before a bad term") {
    constant = kNaN;
    variables = {9};
    coefficients = {1.0};
    expected = "Invalid input: objective constant must be finite, got NaN";
  }
  SUBCASE("a variable that does not exist") {
    variables = {0, 5};
    coefficients = {1.0, 1.0};
    expected = "Invalid variable index: 5";
  }
  SUBCASE("an infinite coefficient") {
    variables = {0};
    coefficients = {-std::numeric_limits<double>::infinity()};
    expected = "Invalid input: objective coefficient must be finite, got -inf";
  }
  SUBCASE("a sum that overflows") {
    variables = {0, 0};
    coefficients = {1e308, 1e308};
    expected = "Invalid input: summed objective coefficient must be finite, got inf";
  }
  SUBCASE("more coefficients than variables") {
    coefficients = {1.0};
    expected = "Backend state error: malformed objective function";
  }
  CHECK(error_text(model.set_objective({variables, coefficients, constant}, ObjectiveSense::Minimize)) == expected);
  CHECK(solver.calls.empty());
  CHECK(model.get_objective_value() == 7.0);
}

TEST_CASE("a failing objective call stops the sequence, leaves earlier parts sent, and clears the cached results once a "
          "part was taken") {
  RecordingSolver solver;
  BackendModel model = new_model(solver, 1);
  solve_to_cached_results(model, solver);
  solver.fail("COPT_GetRetcodeMsg", 1);
  std::string failing;
  Calls calls;
  std::optional<double> left = 7.0;
  SUBCASE("coefficients") {
    failing = "COPT_SetColObj";
    calls = {"COPT_SetColObj(1)"};
  }
  SUBCASE("constant") {
    failing = "COPT_SetObjConst";
    calls = {"COPT_SetColObj(1)", "COPT_SetObjConst(0)"};
    left.reset();
  }
  SUBCASE("sense") {
    failing = "COPT_SetObjSense";
    calls = {"COPT_SetColObj(1)", "COPT_SetObjConst(0)", "COPT_SetObjSense(1)"};
    left.reset();
  }
  solver.fail(failing, 2);
  CHECK(error_text(model.set_objective({}, ObjectiveSense::Minimize)) == "COPT error in " + failing + ": code 2");
  calls.push_back("COPT_GetRetcodeMsg(2, 1000)");
  CHECK(solver.calls == calls);
  CHECK(model.get_objective_value() == left);

  solver.statuses.clear();
  REQUIRE(model.set_objective({}, ObjectiveSense::Minimize).has_value());
  CHECK_FALSE(model.get_objective_value().has_value());
}
