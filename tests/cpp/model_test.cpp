// model_test.cpp: BackendModel creation and release order, and the addition of variables.
#include <doctest/doctest.h>

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "backend/model.hpp"
#include "recording_solver.hpp"

using namespace brenlox_copt::backend;
using namespace brenlox_copt::testing;

namespace {

EnvironmentShare new_record(RecordingSolver& solver) {
  auto environment = create_env(solver.load());
  REQUIRE(environment.has_value());
  return make_record(std::move(*environment));
}

std::optional<BackendModel> model_on(const EnvironmentShare& record) {
  auto model = BackendModel::create(record);
  REQUIRE(model.has_value());
  return std::optional<BackendModel>(std::move(*model));
}

}  // namespace

TEST_CASE("models on one environment delete their problems, then the environment once, then the library") {
  RecordingSolver solver;
  EnvironmentShare record = new_record(solver);
  auto first = model_on(record);
  auto second = model_on(record);
  record.reset();  // the Env object goes before its models
  first.reset();
  CHECK(solver.calls == Calls{"COPT_CreateEnv", "COPT_CreateProb(env1)", "COPT_CreateProb(env1)", "COPT_DeleteProb(prob2)"});
  second.reset();
  CHECK(solver.calls.size() == 7);
  CHECK(Calls(solver.calls.begin() + 4, solver.calls.end()) ==
        Calls{"COPT_DeleteProb(prob3)", "COPT_DeleteEnv(env1)", "unload"});
}

TEST_CASE("a failed problem creation deletes what it got and releases both shares") {
  RecordingSolver solver;
  EnvironmentShare record = new_record(solver);
  solver.calls.clear();
  solver.retcode_message = "out of memory";
  std::string expected = "COPT error in COPT_CreateProb: code 4: out of memory";
  Calls calls;
  SUBCASE("failure with a problem, deleted before the message lookup") {
    solver.fail("COPT_CreateProb", 4);
    solver.handle_on_failure = true;
    calls = {"COPT_CreateProb(env1)", "COPT_DeleteProb(prob2)", "COPT_GetRetcodeMsg(4, 1000)"};
  }
  SUBCASE("failure without a problem") {
    solver.fail("COPT_CreateProb", 4);
    calls = {"COPT_CreateProb(env1)", "COPT_GetRetcodeMsg(4, 1000)"};
  }
  SUBCASE("success without a problem") {
    solver.null_handles.insert("COPT_CreateProb");
    expected = "Backend state error: COPT_CreateProb succeeded without returning a problem";
    calls = {"COPT_CreateProb(env1)"};
  }
  // The model was the environment's only holder, so the environment and the library go with the failure.
  CHECK(error_text(BackendModel::create(std::move(record))) == expected);
  calls.insert(calls.end(), {"COPT_DeleteEnv(env1)", "unload"});
  CHECK(solver.calls == calls);
  CHECK(solver.live_handles() == 0);
}

TEST_CASE("no problem is created on a poisoned environment") {
  RecordingSolver solver;
  const EnvironmentShare record = new_record(solver);
  CHECK_THROWS_AS(([&] {
                    auto guard = record->lock();
                    throw std::runtime_error("while holding the lock");
                  }()),
                  std::runtime_error);
  solver.calls.clear();
  CHECK(error_text(BackendModel::create(record)) == "Backend state error: COPT environment lock is poisoned");
  CHECK(solver.calls.empty());
}

TEST_CASE("variables get dense ids, default names, types and bounds, in one call per batch") {
  RecordingSolver solver;
  BackendModel model = new_model(solver);
  auto first = add_variables(model, 2);
  REQUIRE(first.has_value());
  CHECK(first->first == 0);
  CHECK(first->count == 2);
  auto second = add_variables(model, 3);
  REQUIRE(second.has_value());
  CHECK(second->first == 2);
  CHECK(second->count == 3);
  CHECK(variable_count(model) == 5);
  CHECK(solver.calls == Calls{"COPT_AddCols(2)", "COPT_AddCols(3)"});
  const auto& added = solver.added_columns.at(1);
  CHECK(added.matrix_arguments_null);
  CHECK(added.types == "CCC");
  CHECK(added.lower == std::vector<double>{0, 0, 0});
  CHECK(added.upper == std::vector<double>{1e30, 1e30, 1e30});
  CHECK(added.names == std::vector<std::string>{"x2", "x3", "x4"});
}

TEST_CASE("default names count on across digit carries, from any first id") {
  RecordingSolver solver;
  BackendModel model = new_model(solver);
  REQUIRE(add_variables(model, 8).has_value());
  REQUIRE(add_variables(model, 1093).has_value());
  const std::vector<std::string>& names = solver.added_columns.at(1).names;
  REQUIRE(names.size() == 1093);
  for (std::size_t i = 0; i < names.size(); ++i) {
    CHECK(names[i] == "x" + std::to_string(8 + i));
  }
}

TEST_CASE("given variable lists reach the solver as given, bounds clamped to the solver's infinity") {
  RecordingSolver solver;
  BackendModel model = new_model(solver);
  const std::vector<std::string> texts = {"", "cost", "x0"};
  const std::vector<TerminatedText> names = {TerminatedText(texts[0]), TerminatedText(texts[1]),
                                             TerminatedText(texts[2])};
  const std::vector<char32_t> types = {U'B', U'I', U'C'};
  std::vector<double> lower = {kInf, -kInf, -1e40};
  std::vector<double> upper = {kInf, 2.5, 1e40};
  REQUIRE(add_variables(model, 3, {names, types, lower, upper}).has_value());
  const auto& added = solver.added_columns.at(0);
  CHECK(added.types == "BIC");
  CHECK(added.lower == std::vector<double>{1e30, -1e30, -1e30});
  CHECK(added.upper == std::vector<double>{1e30, 2.5, 1e30});
  CHECK(added.names == texts);
}

TEST_CASE("a refused batch of variables changes nothing") {
  RecordingSolver solver;
  BackendModel model = new_model(solver, 2);
  solve_to_cached_results(model, solver);

  std::vector<double> two = {0.0, 1.0};
  std::vector<double> one = {0.0};
  std::vector<double> with_nan = {1.0, kNaN};
  const std::vector<char32_t> lower_c = {U'C', U'c'};
  const std::string nul("a\0b", 3);
  const std::string plain = "y";
  const std::vector<TerminatedText> one_name = {TerminatedText(plain)};
  const std::vector<TerminatedText> bad_names = {TerminatedText(plain), TerminatedText(nul)};
  std::string expected;
  Result<IdRange> result;
  SUBCASE("count beyond c_int, before any list") {
    result = add_variables(model, 2147483648ULL, {one_name, lower_c, one, one});
    expected = "Invalid input: variable count exceeds COPT's c_int range";
  }
  SUBCASE("NaN lower bound") {
    result = add_variables(model, 2, {.lower_bounds = with_nan});
    expected = "Invalid input: lower bounds cannot contain NaN, got NaN";
  }
  SUBCASE("upper bounds of the wrong length") {
    result = add_variables(model, 2, {.upper_bounds = one});
    expected = "Invalid input: upper bounds has length 1, expected 2";
  }
  SUBCASE("lower above upper, shown as given, reported before a bad type") {
    std::vector<double> lower = {0.0, 5.0};
    std::vector<double> upper = {1.0, 1.0};
    result = add_variables(model, 2, {.types = lower_c, .lower_bounds = lower, .upper_bounds = upper});
    expected = "Invalid input: variable 3 has lower bound 5 greater than upper bound 1";
  }
  SUBCASE("the first pair out of order keeps the values given, beyond the solver's range too") {
    std::vector<double> lower = {-1e40, kInf, 2e40};
    std::vector<double> upper = {1e40, 1e35, 1.0};
    result = add_variables(model, 3, {.lower_bounds = lower, .upper_bounds = upper});
    expected = "Invalid input: variable 3 has lower bound inf greater than upper bound "
               "100000000000000000000000000000000000";
  }
  SUBCASE("lower case type") {
    result = add_variables(model, 2, {.types = lower_c});
    expected = "Invalid input: unsupported COPT variable type 'c'; expected 'C', 'B', or 'I'";
  }
  SUBCASE("a type outside ASCII shows as its character") {
    result = add_variables(model, 1, {.types = std::vector<char32_t>{U'\u00e9'}});
    expected = "Invalid input: unsupported COPT variable type '\u00e9'; expected 'C', 'B', or 'I'";
  }
  SUBCASE("a surrogate, which no text can hold, shows as the replacement character") {
    result = add_variables(model, 1, {.types = std::vector<char32_t>{0xDFFF}});
    expected = "Invalid input: unsupported COPT variable type '\uFFFD'; expected 'C', 'B', or 'I'";
  }
  SUBCASE("a value past U+10FFFF likewise") {
    result = add_variables(model, 1, {.types = std::vector<char32_t>{0x110000}});
    expected = "Invalid input: unsupported COPT variable type '\uFFFD'; expected 'C', 'B', or 'I'";
  }
  SUBCASE("types of the wrong length") {
    result = add_variables(model, 1, {.types = lower_c});
    expected = "Invalid input: variable types has length 2, expected 1";
  }
  SUBCASE("too few names, with valid bounds and types") {
    result = add_variables(model, 2, {one_name, std::vector<char32_t>{U'C', U'I'}, two, two});
    expected = "Invalid input: variable names has length 1, expected 2";
  }
  SUBCASE("a name with a zero byte") {
    result = add_variables(model, 2, {.names = bad_names});
    expected = "Invalid name: variable name contains an embedded NUL byte";
  }
  SUBCASE("a batch that passed every check, committed to another model") {
    auto prepared = model.prepare_variables(2, {.upper_bounds = two});
    REQUIRE(prepared.has_value());
    CHECK(prepared->ids().first == 2);
    BackendModel other = new_model(solver, 2);
    result = other.commit(std::move(*prepared));
    CHECK(variable_count(other) == 2);
    CHECK(solver.calls.empty());
    expected = "Backend state error: the batch was prepared for another model or an earlier state";
  }
  SUBCASE("the solver refuses the columns") {
    solver.fail("COPT_AddCols", 9);
    solver.retcode_message = "no room";
    result = add_variables(model, 2);
    expected = "COPT error in COPT_AddCols: code 9: no room";
  }
  CHECK(error_text(result) == expected);
  CHECK(variable_count(model) == 2);
  CHECK(model.get_objective_value() == 7.0);
  solver.statuses.clear();
  auto next = add_variables(model, 1);
  REQUIRE(next.has_value());
  CHECK(next->first == 2);
  CHECK(solver.added_columns.back().names == std::vector<std::string>{"x2"});
}

TEST_CASE("an empty batch of variables makes no call and keeps the cached results; a nonempty one clears them") {
  RecordingSolver solver;
  BackendModel model = new_model(solver, 1);
  solve_to_cached_results(model, solver);
  auto none = add_variables(model, 0);
  REQUIRE(none.has_value());
  CHECK(none->first == 1);
  CHECK(none->count == 0);
  CHECK(solver.calls.empty());
  CHECK(model.get_var_value(0) == 1.5);
  REQUIRE(add_variables(model, 1).has_value());
  CHECK_FALSE(model.get_var_value(0).has_value());
  CHECK_FALSE(model.get_objective_value().has_value());
}
