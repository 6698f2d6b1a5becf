// entry_points.cpp: the 23 exported entry points of copt.dll; each logs its arguments and forwards to one operation.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

#include "backend/copt_api.h"
#include "standin/library/call.hpp"
#include "standin/library/edits.hpp"
#include "standin/library/parameters.hpp"
#include "standin/library/results.hpp"

namespace {

using namespace brenlox_copt::standin;

/// Creates an object for a creator, obeying the creator test controls; `setup` fills it in.
template <class Object, class Handle, class Setup>
int create_handle(Call& call, HandleTable<Object>& table, HandleKind kind, Handle** handle, Setup&& setup) {
  if (handle == nullptr) {
    return kNullArgument;
  }
  if (call.creator.null_handle) {
    *handle = nullptr;
    return kOk;
  }
  auto object = std::make_unique<Object>();
  static_cast<HandleIdentity&>(*object) = call.state.next_identity(kind);
  setup(*object);
  *handle = reinterpret_cast<Handle*>(&table.insert(std::move(object)));
  return call.creator.failure_code;
}

/// Deletes the object behind `*handle` unless `release` refuses; deleting a null handle does nothing.
template <class Object, class Handle, class Release>
int delete_handle(HandleTable<Object>& table, Handle** handle, Release&& release) {
  if (handle == nullptr) {
    return kNullArgument;
  }
  if (*handle == nullptr) {
    return kOk;
  }
  Object* object = table.find(*handle);
  if (object == nullptr) {
    return kInvalidHandle;
  }
  if (const int code = release(*object); code != kOk) {
    return code;
  }
  table.erase(*object);
  *handle = nullptr;
  return kOk;
}

template <class Action>
int with_problem(Call& call, copt_prob* prob, Action&& action) {
  Problem* problem = call.state.problems.find(prob);
  return problem == nullptr ? kInvalidHandle : action(*problem);
}

/// The text for `code`: a test's override first, then the built-in one; nullopt makes the lookup fail.
std::optional<std::string> message_for(const Controls& controls, int code) {
  if (const auto set = controls.messages.find(code); set != controls.messages.end()) {
    return set->second;
  }
  return builtin_message(code).transform([](std::string_view text) { return std::string(text); });
}

}  // namespace

extern "C" {

int COPT_GetBanner(void) {
  return run_entry_point(EntryPoint::COPT_GetBanner, [](Arguments&) {}, [](Call&) { return kOk; });
}

int COPT_GetRetcodeMsg(int code, char* buffer, int buffer_size) {
  return run_entry_point(
      EntryPoint::COPT_GetRetcodeMsg,
      [&](Arguments& args) { args.integer(code).output(buffer).integer(buffer_size); },
      [&](Call& call) {
        if (buffer == nullptr) {
          return kNullArgument;
        }
        if (buffer_size <= 0) {
          return kInvalidCount;
        }
        const std::optional<std::string> text = message_for(call.state.controls, code);
        if (!text) {
          return kUnknownCode;
        }
        const std::size_t length = std::min(text->size(), static_cast<std::size_t>(buffer_size) - 1);
        std::memcpy(buffer, text->data(), length);
        buffer[length] = '\0';
        return kOk;
      });
}

int COPT_CreateEnvConfig(copt_env_config** config) {
  return run_entry_point(
      EntryPoint::COPT_CreateEnvConfig, [&](Arguments& args) { args.handle_address(config); },
      [&](Call& call) { return create_handle(call, call.state.configs, HandleKind::Config, config, [](Config&) {}); });
}

int COPT_DeleteEnvConfig(copt_env_config** config) {
  return run_entry_point(
      EntryPoint::COPT_DeleteEnvConfig, [&](Arguments& args) { args.handle_address(config); },
      [&](Call& call) { return delete_handle(call.state.configs, config, [](Config&) { return kOk; }); });
}

int COPT_SetEnvConfig(copt_env_config* config, const char* name, const char* value) {
  return run_entry_point(
      EntryPoint::COPT_SetEnvConfig, [&](Arguments& args) { args.handle(config).text(name).text(value); },
      [&](Call& call) {
        Config* found = call.state.configs.find(config);
        if (found == nullptr) {
          return kInvalidHandle;
        }
        if (name == nullptr || value == nullptr) {
          return kNullArgument;
        }
        found->settings.insert_or_assign(name, value);
        return kOk;
      });
}

int COPT_CreateEnv(copt_env** env) {
  return run_entry_point(
      EntryPoint::COPT_CreateEnv, [&](Arguments& args) { args.handle_address(env); },
      [&](Call& call) { return create_handle(call, call.state.envs, HandleKind::Env, env, [](Env&) {}); });
}

int COPT_CreateEnvWithConfig(copt_env_config* config, copt_env** env) {
  return run_entry_point(
      EntryPoint::COPT_CreateEnvWithConfig, [&](Arguments& args) { args.handle(config).handle_address(env); },
      [&](Call& call) {
        const Config* found = call.state.configs.find(config);
        if (found == nullptr) {
          return kInvalidHandle;
        }
        return create_handle(call, call.state.envs, HandleKind::Env, env,
                             [found](Env& created) { created.settings = found->settings; });
      });
}

int COPT_DeleteEnv(copt_env** env) {
  return run_entry_point(
      EntryPoint::COPT_DeleteEnv, [&](Arguments& args) { args.handle_address(env); },
      [&](Call& call) {
        return delete_handle(call.state.envs, env,
                             [](const Env& found) { return found.problems > 0 ? kEnvironmentBusy : kOk; });
      });
}

int COPT_CreateProb(copt_env* env, copt_prob** prob) {
  return run_entry_point(
      EntryPoint::COPT_CreateProb, [&](Arguments& args) { args.handle(env).handle_address(prob); },
      [&](Call& call) {
        Env* found = call.state.envs.find(env);
        if (found == nullptr) {
          return kInvalidHandle;
        }
        return create_handle(call, call.state.problems, HandleKind::Problem, prob, [found](Problem& created) {
          created.env = found;
          ++found->problems;
        });
      });
}

int COPT_DeleteProb(copt_prob** prob) {
  return run_entry_point(
      EntryPoint::COPT_DeleteProb, [&](Arguments& args) { args.handle_address(prob); },
      [&](Call& call) {
        return delete_handle(call.state.problems, prob, [](Problem& found) {
          --found.env->problems;
          return kOk;
        });
      });
}

int COPT_Update(copt_prob* prob) {
  return run_entry_point(
      EntryPoint::COPT_Update, [&](Arguments& args) { args.handle(prob); },
      [&](Call& call) { return with_problem(call, prob, [](Problem&) { return kOk; }); });
}

int COPT_AddCols(copt_prob* prob, int count, const int* col_starts, const int* col_counts, const int* row_indices,
                 const double* values, const double* costs, const char* types, const double* lower,
                 const double* upper, const char* const* names) {
  return run_entry_point(
      EntryPoint::COPT_AddCols,
      [&](Arguments& args) {
        args.handle(prob).integer(count);
        if (args.discarding()) {
          args.discarded(col_starts).discarded(col_counts).discarded(row_indices).discarded(values);
          args.discarded(costs).discarded(types).discarded(lower).discarded(upper).discarded(names);
          return;
        }
        const auto length = array_length(count);
        const auto entries = matrix_length(count, col_starts, col_counts);
        args.integers(col_starts, length).integers(col_counts, length).integers(row_indices, entries);
        args.numbers(values, entries).numbers(costs, length).characters(types, length);
        args.numbers(lower, length).numbers(upper, length).texts(names, length);
      },
      [&](Call& call) {
        const ColumnBatch batch{count, col_starts, col_counts, row_indices, values, costs, types, lower, upper, names};
        return with_problem(call, prob, [&](Problem& problem) {
          return add_columns(problem, batch, call.state.controls.discard);
        });
      });
}

int COPT_AddRows(copt_prob* prob, int count, const int* row_starts, const int* row_counts, const int* col_indices,
                 const double* values, const char* senses, const double* lower, const double* upper,
                 const char* const* names) {
  return run_entry_point(
      EntryPoint::COPT_AddRows,
      [&](Arguments& args) {
        args.handle(prob).integer(count);
        if (args.discarding()) {
          args.discarded(row_starts).discarded(row_counts).discarded(col_indices).discarded(values);
          args.discarded(senses).discarded(lower).discarded(upper).discarded(names);
          return;
        }
        const auto length = array_length(count);
        const auto entries = matrix_length(count, row_starts, row_counts);
        args.integers(row_starts, length).integers(row_counts, length).integers(col_indices, entries);
        args.numbers(values, entries).characters(senses, length).numbers(lower, length).numbers(upper, length);
        args.texts(names, length);
      },
      [&](Call& call) {
        const RowBatch batch{count, row_starts, row_counts, col_indices, values, senses, lower, upper, names};
        return with_problem(call, prob, [&](Problem& problem) {
          return add_rows(problem, batch, call.state.controls.discard);
        });
      });
}

int COPT_SetColObj(copt_prob* prob, int count, const int* indices, const double* values) {
  return run_entry_point(
      EntryPoint::COPT_SetColObj,
      [&](Arguments& args) {
        args.handle(prob).integer(count);
        if (args.discarding()) {
          args.discarded(indices).discarded(values);
        } else {
          args.integers(indices, array_length(count)).numbers(values, array_length(count));
        }
      },
      [&](Call& call) {
        return with_problem(call, prob, [&](Problem& problem) {
          return set_column_objective(problem, count, indices, values, call.state.controls.discard);
        });
      });
}

int COPT_SetObjConst(copt_prob* prob, double constant) {
  return run_entry_point(
      EntryPoint::COPT_SetObjConst, [&](Arguments& args) { args.handle(prob).number(constant); },
      [&](Call& call) {
        return with_problem(call, prob, [&](Problem& problem) { return set_objective_constant(problem, constant); });
      });
}

int COPT_SetObjSense(copt_prob* prob, int sense) {
  return run_entry_point(
      EntryPoint::COPT_SetObjSense, [&](Arguments& args) { args.handle(prob).integer(sense); },
      [&](Call& call) {
        return with_problem(call, prob, [&](Problem& problem) { return set_objective_sense(problem, sense); });
      });
}

int COPT_SetIntParam(copt_prob* prob, const char* name, int value) {
  return run_entry_point(
      EntryPoint::COPT_SetIntParam, [&](Arguments& args) { args.handle(prob).text(name).integer(value); },
      [&](Call& call) {
        return with_problem(call, prob, [&](Problem& problem) { return set_int_parameter(problem, name, value); });
      });
}

int COPT_SetDblParam(copt_prob* prob, const char* name, double value) {
  return run_entry_point(
      EntryPoint::COPT_SetDblParam, [&](Arguments& args) { args.handle(prob).text(name).number(value); },
      [&](Call& call) {
        return with_problem(call, prob, [&](Problem& problem) { return set_double_parameter(problem, name, value); });
      });
}

int COPT_GetIntAttr(copt_prob* prob, const char* name, int* value) {
  return run_entry_point(
      EntryPoint::COPT_GetIntAttr, [&](Arguments& args) { args.handle(prob).text(name).int_output(value); },
      [&](Call& call) {
        return with_problem(call, prob, [&](Problem& problem) { return get_int_attribute(problem, name, value); });
      });
}

int COPT_GetDblAttr(copt_prob* prob, const char* name, double* value) {
  return run_entry_point(
      EntryPoint::COPT_GetDblAttr, [&](Arguments& args) { args.handle(prob).text(name).number_output(value); },
      [&](Call& call) {
        return with_problem(call, prob, [&](Problem& problem) { return get_double_attribute(problem, name, value); });
      });
}

int COPT_Solve(copt_prob* prob) {
  return run_entry_point(
      EntryPoint::COPT_Solve, [&](Arguments& args) { args.handle(prob); },
      [&](Call& call) {
        return with_problem(call, prob, [&](Problem& problem) { return solve(problem, call.state.controls.forced); });
      });
}

int COPT_GetSolution(copt_prob* prob, double* values) {
  return run_entry_point(
      EntryPoint::COPT_GetSolution, [&](Arguments& args) { args.handle(prob).output(values); },
      [&](Call& call) {
        return with_problem(call, prob, [&](Problem& problem) { return get_solution(problem, values); });
      });
}

int COPT_GetLpSolution(copt_prob* prob, double* values, double* slacks, double* duals, double* reduced_costs) {
  return run_entry_point(
      EntryPoint::COPT_GetLpSolution,
      [&](Arguments& args) {
        args.handle(prob).output(values).output(slacks).output(duals).output(reduced_costs);
      },
      [&](Call& call) {
        return with_problem(call, prob, [&](Problem& problem) {
          if (slacks != nullptr || duals != nullptr || reduced_costs != nullptr) {
            return kUnsupported;
          }
          return get_solution(problem, values);
        });
      });
}

}  // extern "C"
