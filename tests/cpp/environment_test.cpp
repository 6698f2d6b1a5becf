// environment_test.cpp: client configurations, native environments, their failures and release, and the record lock.
#include <doctest/doctest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "backend/environment.hpp"
#include "recording_solver.hpp"

using namespace brenlox_copt::backend;
using namespace brenlox_copt::testing;

TEST_CASE("a client configuration sends each setting and is deleted before its library") {
  RecordingSolver solver;
  {
    auto config = ClientConfig::create(solver.load());
    REQUIRE(config.has_value());
    const std::string name = "Port";
    const std::string value = "80";
    CHECK(config->set(TerminatedText(name), TerminatedText(value)).has_value());
  }
  CHECK(solver.calls ==
        Calls{"COPT_CreateEnvConfig", "COPT_SetEnvConfig(config1, Port, 80)", "COPT_DeleteEnvConfig(config1)", "unload"});
}

TEST_CASE("a failed configuration creation leaves no handle and no library") {
  RecordingSolver solver;
  solver.retcode_message = "no licence";
  std::string expected;
  Calls calls;
  SUBCASE("failure without a handle") {
    solver.fail("COPT_CreateEnvConfig", 5);
    expected = "COPT error in COPT_CreateEnvConfig: code 5: no licence";
    calls = {"COPT_CreateEnvConfig", "COPT_GetRetcodeMsg(5, 1000)", "unload"};
  }
  SUBCASE("failure with a handle, deleted before the message lookup") {
    solver.fail("COPT_CreateEnvConfig", -5);
    solver.handle_on_failure = true;
    expected = "COPT error in COPT_CreateEnvConfig: code -5: no licence";
    calls = {"COPT_CreateEnvConfig", "COPT_DeleteEnvConfig(config1)", "COPT_GetRetcodeMsg(-5, 1000)", "unload"};
  }
  SUBCASE("success without a handle") {
    solver.null_handles.insert("COPT_CreateEnvConfig");
    expected = "Backend state error: COPT_CreateEnvConfig succeeded without returning a configuration";
    calls = {"COPT_CreateEnvConfig", "unload"};
  }
  CHECK(error_text(ClientConfig::create(solver.load())) == expected);
  CHECK(solver.calls == calls);
  CHECK(solver.live_handles() == 0);
}

TEST_CASE("a configuration setting with a zero byte never reaches the library") {
  RecordingSolver solver;
  auto config = ClientConfig::create(solver.load());
  REQUIRE(config.has_value());
  solver.calls.clear();
  const std::string plain = "Port";
  const std::string with_nul("8\0" "0", 3);
  const std::string name_message = "Invalid input: COPT environment configuration name contains an embedded NUL byte";
  CHECK(error_text(config->set(TerminatedText(with_nul), TerminatedText(plain))) == name_message);
  CHECK(error_text(config->set(TerminatedText(with_nul), TerminatedText(with_nul))) == name_message);
  CHECK(error_text(config->set(TerminatedText(plain), TerminatedText(with_nul))) ==
        "Invalid input: COPT environment configuration value contains an embedded NUL byte");
  CHECK(solver.calls.empty());

  solver.fail("COPT_SetEnvConfig", 3);
  solver.fail("COPT_GetRetcodeMsg", 1);
  CHECK(error_text(config->set(TerminatedText(plain), TerminatedText(plain))) ==
        "COPT error in COPT_SetEnvConfig: code 3");
}

TEST_CASE("a failed environment creation looks up the message, then deletes any handle, then the library share") {
  RecordingSolver solver;
  solver.retcode_message = "  busy\n";
  solver.handle_on_failure = true;
  SUBCASE("plain") {
    solver.fail("COPT_CreateEnv", 7);
    CHECK(error_text(create_env(solver.load())) == "COPT error in COPT_CreateEnv: code 7: busy");
    CHECK(solver.calls == Calls{"COPT_CreateEnv", "COPT_GetRetcodeMsg(7, 1000)", "COPT_DeleteEnv(env1)", "unload"});
  }
  SUBCASE("from a configuration, which stays usable") {
    auto config = ClientConfig::create(solver.load());
    REQUIRE(config.has_value());
    solver.fail("COPT_CreateEnvWithConfig", 7);
    CHECK(error_text(create_env_with_config(*config)) == "COPT error in COPT_CreateEnvWithConfig: code 7: busy");
    CHECK(solver.calls == Calls{"COPT_CreateEnvConfig", "COPT_CreateEnvWithConfig(config1)",
                                "COPT_GetRetcodeMsg(7, 1000)", "COPT_DeleteEnv(env2)"});
    const std::string text = "x";
    CHECK(config->set(TerminatedText(text), TerminatedText(text)).has_value());
  }
  CHECK(solver.live_handles() == 0);
}

TEST_CASE("an environment creator reporting success without a handle fails with the state error") {
  RecordingSolver solver;
  solver.null_handles = {"COPT_CreateEnv", "COPT_CreateEnvWithConfig"};
  CHECK(error_text(create_env(solver.load())) ==
        "Backend state error: COPT_CreateEnv succeeded without returning an environment");
  auto config = ClientConfig::create(solver.load());
  REQUIRE(config.has_value());
  CHECK(error_text(create_env_with_config(*config)) ==
        "Backend state error: COPT_CreateEnvWithConfig succeeded without returning an environment");
}

TEST_CASE("an environment from a configuration outlives the configuration and keeps the library loaded") {
  RecordingSolver solver;
  std::optional<Result<NativeEnvironment>> environment;
  {
    auto config = ClientConfig::create(solver.load());
    REQUIRE(config.has_value());
    environment.emplace(create_env_with_config(*config));
    REQUIRE(environment->has_value());
  }
  CHECK(solver.calls ==
        Calls{"COPT_CreateEnvConfig", "COPT_CreateEnvWithConfig(config1)", "COPT_DeleteEnvConfig(config1)"});
  environment.reset();
  CHECK(solver.calls.back() == "unload");
  CHECK(solver.calls.at(solver.calls.size() - 2) == "COPT_DeleteEnv(env2)");
}

namespace {

/// Takes the lock in its destructor, which may run while another exception unwinds.
struct LocksOnDestruction {
  EnvironmentRecord& record;
  ~LocksOnDestruction() { static_cast<void>(record.lock()); }
};

}  // namespace

TEST_CASE("the record's lock is poisoned only by an exception leaving it, and for good") {
  RecordingSolver solver;
  auto environment = create_env(solver.load());
  REQUIRE(environment.has_value());
  const EnvironmentShare record = make_record(std::move(*environment));

  CHECK(record->lock().has_value());
  // A guard taken during someone else's unwinding, and left normally, is no abnormal exit.
  CHECK_THROWS_AS(([&] {
                    const LocksOnDestruction guard{*record};
                    throw std::runtime_error("elsewhere");
                  }()),
                  std::runtime_error);
  CHECK(record->lock().has_value());

  CHECK_THROWS_AS(([&] {
                    auto guard = record->lock();
                    REQUIRE(guard.has_value());
                    throw std::runtime_error("while holding the lock");
                  }()),
                  std::runtime_error);
  CHECK(error_text(record->lock()) == "Backend state error: COPT environment lock is poisoned");
  CHECK(error_text(record->lock()) == "Backend state error: COPT environment lock is poisoned");
}
