// recording_solver.cpp: the recording solver's entry points and its library shares.
#include "recording_solver.hpp"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

#include "backend/number_text.hpp"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace brenlox_copt::testing {

namespace {

RecordingSolver* g_solver = nullptr;

RecordingSolver& solver() { return *g_solver; }

std::string number(double value) { return backend::format_number(value); }

template <class T>
std::vector<T> copied(const T* data, int count) {
  return data == nullptr ? std::vector<T>{} : std::vector<T>(data, data + count);
}

std::vector<std::string> copied_names(const char* const* names, int count) {
  std::vector<std::string> result;
  for (int i = 0; names != nullptr && i < count; ++i) {
    result.emplace_back(names[i]);
  }
  return result;
}

/// A real module handle for the CoptLibrary to release: the test program itself, whose reference count the
/// release merely drops again.
void* test_module() {
#ifdef _WIN32
  return LoadLibraryW(L"kernel32.dll");
#else
  return dlopen(nullptr, RTLD_LAZY);
#endif
}

template <class Handle>
int create(const char* creator, std::string line, const char* kind, Handle** out) {
  const int status = solver().status_of(creator);
  *out = static_cast<Handle*>(solver().create_handle(creator, std::move(line), kind, status));
  return status;
}

template <class Handle>
int destroy(const char* deleter, Handle** handle) {
  solver().delete_handle(deleter, *handle);
  return solver().status_of(deleter);
}

/// Logs `line` and answers the status scripted for that very line, else the one for `name`.
int record(const char* name, std::string line) {
  const int status = solver().statuses.contains(line) ? solver().status_of(line) : solver().status_of(name);
  solver().calls.push_back(std::move(line));
  return status;
}

int record(const char* name) { return record(name, name); }

int get_banner() { return record("COPT_GetBanner"); }

int get_retcode_msg(int code, char* buffer, int buffer_size) {
  const int status =
      record("COPT_GetRetcodeMsg", "COPT_GetRetcodeMsg(" + std::to_string(code) + ", " + std::to_string(buffer_size) + ")");
  const std::string& text = solver().retcode_message;
  std::memcpy(buffer, text.data(), std::min(text.size(), static_cast<std::size_t>(buffer_size - 1)));
  return status;
}

int create_env_config(copt_env_config** config) {
  return create("COPT_CreateEnvConfig", "COPT_CreateEnvConfig", "config", config);
}

int delete_env_config(copt_env_config** config) { return destroy("COPT_DeleteEnvConfig", config); }

int set_env_config(copt_env_config* config, const char* name, const char* value) {
  return record("COPT_SetEnvConfig",
                "COPT_SetEnvConfig(" + solver().handle_name(config) + ", " + name + ", " + value + ")");
}

int create_env(copt_env** env) { return create("COPT_CreateEnv", "COPT_CreateEnv", "env", env); }

int create_env_with_config(copt_env_config* config, copt_env** env) {
  return create("COPT_CreateEnvWithConfig", "COPT_CreateEnvWithConfig(" + solver().handle_name(config) + ")", "env",
                env);
}

int delete_env(copt_env** env) { return destroy("COPT_DeleteEnv", env); }

int create_prob(copt_env* env, copt_prob** prob) {
  return create("COPT_CreateProb", "COPT_CreateProb(" + solver().handle_name(env) + ")", "prob", prob);
}

int delete_prob(copt_prob** prob) { return destroy("COPT_DeleteProb", prob); }

int update(copt_prob*) { return record("COPT_Update"); }

int add_cols(copt_prob*, int count, const int* col_starts, const int* col_counts, const int* row_indices,
             const double* values, const double* costs, const char* types, const double* lower, const double* upper,
             const char* const* names) {
  solver().added_columns.push_back(AddedColumns{
      count,
      col_starts == nullptr && col_counts == nullptr && row_indices == nullptr && values == nullptr && costs == nullptr,
      types == nullptr ? std::string() : std::string(types, static_cast<std::size_t>(count)), copied(lower, count),
      copied(upper, count), copied_names(names, count)});
  return record("COPT_AddCols", "COPT_AddCols(" + std::to_string(count) + ")");
}

int add_rows(copt_prob*, int count, const int* row_starts, const int* row_counts, const int* col_indices,
             const double* values, const char* senses, const double* lower, const double* upper,
             const char* const* names) {
  AddedRows rows{count,
                 copied(row_starts, count),
                 copied(row_counts, count),
                 col_indices == nullptr,
                 values == nullptr,
                 senses == nullptr,
                 values,
                 {},
                 {},
                 copied(lower, count),
                 copied(upper, count),
                 copied_names(names, count)};
  int entries = 0;
  for (int i = 0; row_counts != nullptr && i < count; ++i) {
    entries += row_counts[i];
  }
  rows.columns = copied(col_indices, entries);
  rows.values = copied(values, entries);
  solver().added_rows.push_back(std::move(rows));
  return record("COPT_AddRows", "COPT_AddRows(" + std::to_string(count) + ")");
}

int set_col_obj(copt_prob*, int count, const int* indices, const double* values) {
  solver().objectives.push_back(ObjectiveCoefficients{copied(indices, count), copied(values, count)});
  return record("COPT_SetColObj", "COPT_SetColObj(" + std::to_string(count) + ")");
}

int set_obj_const(copt_prob*, double constant) {
  return record("COPT_SetObjConst", "COPT_SetObjConst(" + number(constant) + ")");
}

int set_obj_sense(copt_prob*, int sense) {
  return record("COPT_SetObjSense", "COPT_SetObjSense(" + std::to_string(sense) + ")");
}

int set_int_param(copt_prob*, const char* name, int value) {
  return record("COPT_SetIntParam", "COPT_SetIntParam(" + std::string(name) + ", " + std::to_string(value) + ")");
}

int set_dbl_param(copt_prob*, const char* name, double value) {
  return record("COPT_SetDblParam", "COPT_SetDblParam(" + std::string(name) + ", " + number(value) + ")");
}

int get_int_attr(copt_prob*, const char* name, int* value) {
  const int status = record("COPT_GetIntAttr", "COPT_GetIntAttr(" + std::string(name) + ")");
  const auto found = solver().int_attributes.find(name);
  if (found != solver().int_attributes.end()) {
    *value = found->second;
  }
  return status;
}

int get_dbl_attr(copt_prob*, const char* name, double* value) {
  const int status = record("COPT_GetDblAttr", "COPT_GetDblAttr(" + std::string(name) + ")");
  *value = solver().objective_value;
  return status;
}

int solve(copt_prob*) { return record("COPT_Solve"); }

int get_solution(copt_prob*, double* values) {
  std::ranges::copy(solver().solution, values);
  return record("COPT_GetSolution");
}

int get_lp_solution(copt_prob*, double* values, double* slacks, double* duals, double* reduced_costs) {
  std::ranges::copy(solver().solution, values);
  const bool nulls = slacks == nullptr && duals == nullptr && reduced_costs == nullptr;
  return record("COPT_GetLpSolution", nulls ? "COPT_GetLpSolution" : "COPT_GetLpSolution(with extra arrays)");
}

backend::FunctionTable make_table() {
  backend::FunctionTable table;
  table.COPT_GetBanner = get_banner;
  table.COPT_GetRetcodeMsg = get_retcode_msg;
  table.COPT_CreateEnvConfig = create_env_config;
  table.COPT_DeleteEnvConfig = delete_env_config;
  table.COPT_SetEnvConfig = set_env_config;
  table.COPT_CreateEnv = create_env;
  table.COPT_CreateEnvWithConfig = create_env_with_config;
  table.COPT_DeleteEnv = delete_env;
  table.COPT_CreateProb = create_prob;
  table.COPT_DeleteProb = delete_prob;
  table.COPT_Update = update;
  table.COPT_AddCols = add_cols;
  table.COPT_AddRows = add_rows;
  table.COPT_SetColObj = set_col_obj;
  table.COPT_SetObjConst = set_obj_const;
  table.COPT_SetObjSense = set_obj_sense;
  table.COPT_SetIntParam = set_int_param;
  table.COPT_SetDblParam = set_dbl_param;
  table.COPT_GetIntAttr = get_int_attr;
  table.COPT_GetDblAttr = get_dbl_attr;
  table.COPT_Solve = solve;
  table.COPT_GetSolution = get_solution;
  table.COPT_GetLpSolution = get_lp_solution;
  return table;
}

}  // namespace

RecordingSolver::RecordingSolver() { g_solver = this; }

RecordingSolver::~RecordingSolver() { g_solver = nullptr; }

backend::LibraryShare RecordingSolver::load() {
  return backend::LibraryShare(new backend::CoptLibrary(recording_table(), test_module()),
                               [](const backend::CoptLibrary* library) {
                                 if (g_solver != nullptr) {
                                   g_solver->calls.emplace_back("unload");
                                 }
                                 delete library;
                               });
}

int RecordingSolver::status_of(std::string_view name) const {
  const auto found = statuses.find(name);
  return found == statuses.end() ? 0 : found->second;
}

void* RecordingSolver::create_handle(std::string_view creator, std::string line, const char* kind, int status) {
  calls.push_back(std::move(line));
  const bool returns_handle = status == 0 ? !null_handles.contains(creator) : handle_on_failure;
  if (!returns_handle) {
    return nullptr;
  }
  m_tokens.push_back(std::make_unique<char>());
  void* handle = m_tokens.back().get();
  m_live.emplace(handle, kind + std::to_string(m_next_handle++));
  return handle;
}

std::string RecordingSolver::handle_name(const void* handle) const {
  const auto found = m_live.find(handle);
  return found == m_live.end() ? "unknown" : found->second;
}

void RecordingSolver::delete_handle(std::string_view deleter, void* handle) {
  calls.push_back(std::string(deleter) + "(" + handle_name(handle) + ")");
  m_live.erase(handle);
}

backend::BackendModel new_model(RecordingSolver& solver, std::uint64_t variables) {
  auto environment = backend::create_env(solver.load());
  if (!environment) {
    throw std::runtime_error(environment.error().display());
  }
  auto model = backend::BackendModel::create(backend::make_record(std::move(*environment)));
  if (!model || !add_variables(*model, variables)) {
    throw std::runtime_error("the recording solver refused a model");
  }
  solver.calls.clear();
  return std::move(*model);
}

void solve_to_cached_results(backend::BackendModel& model, RecordingSolver& solver) {
  solver.solution.assign(static_cast<std::size_t>(variable_count(model)), 1.5);
  solver.objective_value = 7.0;
  if (!model.optimize() || !model.get_objective_value()) {
    throw std::runtime_error("the scripted solve left no cached results");
  }
  solver.calls.clear();
}

const backend::FunctionTable& recording_table() {
  static const backend::FunctionTable table = make_table();
  return table;
}

}  // namespace brenlox_copt::testing
