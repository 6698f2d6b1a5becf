// solve_test.cpp: optimizer attributes, update, the solve's call sequence and status mapping, and cached results.
#include <doctest/doctest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "backend/model.hpp"
#include "recording_solver.hpp"

using namespace brenlox_copt::backend;
using namespace brenlox_copt::testing;

namespace {

const OptimizerAttribute kSilent{OptimizerAttribute::Silent{}};
const OptimizerAttribute kTimeLimit{OptimizerAttribute::TimeLimit{}};

}  // namespace

TEST_CASE("attributes reach the solver as their parameters") {
  RecordingSolver solver;
  BackendModel model = new_model(solver);
  const std::string name = "Threads";
  const OptimizerAttribute raw{OptimizerAttribute::Raw{TerminatedText(name)}};
  const std::vector<std::pair<OptimizerAttribute, AttributeValue>> settings = {
      {kSilent, true},
      {kSilent, false},
      {kTimeLimit, 0.0},
      {kTimeLimit, -0.0},
      {kTimeLimit, 10.5},
      {raw, std::int64_t{2147483647}},
      {raw, std::int64_t{-2147483648LL}},
      {raw, -2.5},
      {raw, true},
  };
  for (const auto& [attribute, value] : settings) {
    REQUIRE(model.set_optimizer_attr(attribute, value).has_value());
  }
  CHECK(solver.calls == Calls{"COPT_SetIntParam(Logging, 0)", "COPT_SetIntParam(Logging, 1)",
                              "COPT_SetDblParam(TimeLimit, 0)", "COPT_SetDblParam(TimeLimit, -0)",
                              "COPT_SetDblParam(TimeLimit, 10.5)", "COPT_SetIntParam(Threads, 2147483647)",
                              "COPT_SetIntParam(Threads, -2147483648)", "COPT_SetDblParam(Threads, -2.5)",
                              "COPT_SetIntParam(Threads, 1)"});
}

TEST_CASE("refused attribute values never reach the solver") {
  RecordingSolver solver;
  BackendModel model = new_model(solver);
  const std::string name = "Threads";
  const std::string nul_name("Thr\0eads", 8);
  const OptimizerAttribute raw{OptimizerAttribute::Raw{TerminatedText(name)}};
  const OptimizerAttribute nul_raw{OptimizerAttribute::Raw{TerminatedText(nul_name)}};
  struct Case {
    OptimizerAttribute attribute;
    AttributeValue value;
    std::string expected;
  };
  const std::string time_limit_range = "Invalid input: TimeLimit must be finite and nonnegative";
  const std::string nul_message = "Invalid input: raw COPT parameter name contains an embedded NUL byte";
  const std::vector<Case> cases = {
      {kSilent, std::int64_t{1}, "Invalid input: Silent requires a boolean value"},
      {kSilent, 1.0, "Invalid input: Silent requires a boolean value"},
      {kTimeLimit, std::int64_t{10}, "Invalid input: TimeLimit requires a floating-point value"},
      {kTimeLimit, true, "Invalid input: TimeLimit requires a floating-point value"},
      {kTimeLimit, -1.0, time_limit_range},
      {kTimeLimit, kInf, time_limit_range},
      {kTimeLimit, kNaN, time_limit_range},
      {raw, std::int64_t{2147483648LL}, "Invalid input: raw COPT integer parameter exceeds c_int range"},
      {raw, std::int64_t{-2147483649LL}, "Invalid input: raw COPT integer parameter exceeds c_int range"},
      {raw, kNaN, "Invalid input: raw COPT floating-point parameter must be finite, got NaN"},
      {raw, -kInf, "Invalid input: raw COPT floating-point parameter must be finite, got -inf"},
      {nul_raw, std::int64_t{2147483648LL}, nul_message},
      {nul_raw, kInf, nul_message},
      {nul_raw, true, nul_message},
  };
  for (const Case& c : cases) {
    CHECK(error_text(model.set_optimizer_attr(c.attribute, c.value)) == c.expected);
  }
  CHECK(solver.calls.empty());
}

TEST_CASE("failing parameter calls and update are labelled with the call") {
  RecordingSolver solver;
  BackendModel model = new_model(solver);
  solver.fail("COPT_GetRetcodeMsg", 1);
  solver.fail("COPT_SetIntParam", 3);
  solver.fail("COPT_SetDblParam", 4);
  solver.fail("COPT_Update", 5);
  const std::string name = "Presolve";
  const OptimizerAttribute raw{OptimizerAttribute::Raw{TerminatedText(name)}};
  CHECK(error_text(model.set_optimizer_attr(kSilent, true)) == "COPT error in COPT_SetIntParam(Logging): code 3");
  CHECK(error_text(model.set_optimizer_attr(kTimeLimit, 1.0)) == "COPT error in COPT_SetDblParam(TimeLimit): code 4");
  CHECK(error_text(model.set_optimizer_attr(raw, std::int64_t{1})) == "COPT error in COPT_SetIntParam(Raw): code 3");
  CHECK(error_text(model.set_optimizer_attr(raw, false)) == "COPT error in COPT_SetIntParam(Raw): code 3");
  CHECK(error_text(model.set_optimizer_attr(raw, 1.0)) == "COPT error in COPT_SetDblParam(Raw): code 4");
  CHECK(error_text(model.update()) == "COPT error in COPT_Update: code 5");
  solver.statuses.clear();
  solver.calls.clear();
  CHECK(model.update().has_value());
  CHECK(solver.calls == Calls{"COPT_Update"});
}

TEST_CASE("every solver status maps to its result code, with and without a solution") {
  struct Row {
    int status;
    std::uint32_t without_solution;
    std::uint32_t with_solution;
  };
  const std::vector<Row> rows = {
      {1, 1, 1},  {2, 2, 2},  {3, 3, 3},  {6, 0, 4},  {7, 0, 4},  {8, 0, 4},  {10, 0, 4},
      {11, 0, 4}, {12, 0, 4}, {20, 1, 1}, {21, 2, 2}, {0, 0, 0},  {4, 0, 0},  {5, 0, 0},
      {9, 0, 0},  {13, 0, 0}, {19, 0, 0}, {22, 0, 0}, {-1, 0, 0},
  };
  RecordingSolver solver;
  BackendModel model = new_model(solver, 2);
  solver.solution = {1.25, -3.0};
  solver.objective_value = 4.5;
  for (const Row& row : rows) {
    CAPTURE(row.status);
    solver.int_attributes["Status"] = row.status;
    for (const bool has_solution : {false, true}) {
      CAPTURE(has_solution);
      solver.int_attributes["HasSol"] = has_solution ? 1 : 0;
      solver.calls.clear();
      CHECK(model.optimize() == (has_solution ? row.with_solution : row.without_solution));
      Calls calls = {"COPT_Solve", "COPT_GetIntAttr(Status)", "COPT_GetIntAttr(HasSol)"};
      if (has_solution) {
        calls.insert(calls.end(), {"COPT_GetIntAttr(IsMIP)", "COPT_GetLpSolution", "COPT_GetDblAttr(ObjVal)"});
        CHECK(model.get_var_value(0) == 1.25);
        CHECK(model.get_var_value(1) == -3.0);
        CHECK(model.get_objective_value() == 4.5);
      } else {
        CHECK_FALSE(model.get_var_value(0).has_value());
        CHECK_FALSE(model.get_objective_value().has_value());
      }
      CHECK(solver.calls == calls);
    }
  }
}

TEST_CASE("a MIP reads its solution with COPT_GetSolution; a model without variables reads none") {
  RecordingSolver solver;
  BackendModel model = new_model(solver);
  solver.objective_value = -2.0;
  REQUIRE(model.optimize() == 1U);
  CHECK(solver.calls == Calls{"COPT_Solve", "COPT_GetIntAttr(Status)", "COPT_GetIntAttr(HasSol)",
                              "COPT_GetIntAttr(IsMIP)", "COPT_GetDblAttr(ObjVal)"});
  CHECK(model.get_objective_value() == -2.0);
  CHECK_FALSE(model.get_var_value(0).has_value());

  REQUIRE(add_variables(model, 1).has_value());
  solver.int_attributes["IsMIP"] = 1;
  solver.solution = {3.0};
  solver.calls.clear();
  REQUIRE(model.optimize() == 1U);
  CHECK(solver.calls.at(4) == "COPT_GetSolution");
  CHECK(model.get_var_value(0) == 3.0);
  // A variable added after the solve has no value.
  REQUIRE(add_variables(model, 1).has_value());
  CHECK_FALSE(model.get_var_value(1).has_value());
}

TEST_CASE("a failure anywhere in the solve leaves no cached results, even those of an earlier solve") {
  RecordingSolver solver;
  BackendModel model = new_model(solver, 1);
  solve_to_cached_results(model, solver);
  solver.fail("COPT_GetRetcodeMsg", 1);
  std::string expected;
  SUBCASE("solve") {
    solver.fail("COPT_Solve", 6);
    expected = "COPT error in COPT_Solve: code 6";
  }
  SUBCASE("status") {
    solver.fail("COPT_GetIntAttr", 6);
    expected = "COPT error in COPT_GetIntAttr(Status): code 6";
  }
  SUBCASE("solution flag") {
    solver.fail("COPT_GetIntAttr(HasSol)", 6);
    expected = "COPT error in COPT_GetIntAttr(HasSol): code 6";
  }
  SUBCASE("problem kind") {
    solver.fail("COPT_GetIntAttr(IsMIP)", 6);
    expected = "COPT error in COPT_GetIntAttr(IsMIP): code 6";
  }
  SUBCASE("solution") {
    solver.fail("COPT_GetLpSolution", 6);
    expected = "COPT error in COPT_GetLpSolution: code 6";
  }
  SUBCASE("objective value") {
    solver.fail("COPT_GetDblAttr", 6);
    expected = "COPT error in COPT_GetDblAttr(ObjVal): code 6";
  }
  CHECK(error_text(model.optimize()) == expected);
  CHECK_FALSE(model.get_var_value(0).has_value());
  CHECK_FALSE(model.get_objective_value().has_value());
}
