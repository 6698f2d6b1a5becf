// build_problem.cpp: the end-to-end baseline, a small C++ program that builds the benchmark's models through the
// same solver entry points the module calls (same arrays, same names), timing what a hand-written program would do.
//
//   build_problem <lp|long> <size> <repetitions> <path of copt.dll> [<stand-in's state library> [discard]]
//
// With the state library given (the stand-in solver), its call log is turned off first, as the Python arms do. With
// "discard" the stand-in's discard mode is turned on too and only the entry-point calls are timed: the stand-in's own
// share of the module's binding-cost arm.
// Prints one JSON object: the seconds of each phase per repetition, the model's counts and a checksum of the arrays
// (the benchmark compares it with the one of the Python lists, so both sides build the same problem).
#include <algorithm>
#include <charconv>
#include <chrono>
#include <dlfcn.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <numeric>
#include <string>
#include <string_view>
#include <vector>

#include "backend/library.hpp"

namespace {

using brenlox_copt::backend::FunctionTable;

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kSolverInfinity = 1e30;

/// A model as a C++ program would hold it before handing it to the solver.
struct Row {
  std::vector<int> columns;
  std::vector<double> coefficients;
  char sense = '<';
  double rhs = 0.0;
};

struct Model {
  std::vector<double> lower;
  std::vector<double> upper;
  std::vector<Row> rows;
  std::vector<double> objective;
};

/// The classic LP: x_k and y_k (k < N*N) with x_k - y_k >= k / N and x_k + y_k >= 0; minimise sum 2 x_k + y_k.
Model classic_lp(int n) {
  const int cells = n * n;
  Model model;
  model.lower.assign(static_cast<std::size_t>(2 * cells), 0.0);
  model.upper.assign(static_cast<std::size_t>(2 * cells), kInfinity);
  model.rows.reserve(static_cast<std::size_t>(2 * cells));
  for (int k = 0; k < cells; ++k) {
    model.rows.push_back(Row{{k, cells + k}, {1.0, -1.0}, '>', static_cast<double>(k / n)});
    model.rows.push_back(Row{{k, cells + k}, {1.0, 1.0}, '>', 0.0});
  }
  model.objective.assign(static_cast<std::size_t>(cells), 2.0);
  model.objective.resize(static_cast<std::size_t>(2 * cells), 1.0);
  return model;
}

/// Long rows: `count` rows of 100 to 1000 terms over 1000 variables in [0, 10]; maximise their sum.
Model long_rows(int count) {
  constexpr int kVariables = 1000;
  Model model;
  model.lower.assign(kVariables, 0.0);
  model.upper.assign(kVariables, 10.0);
  model.rows.resize(static_cast<std::size_t>(count));
  for (int r = 0; r < count; ++r) {
    Row& row = model.rows[static_cast<std::size_t>(r)];
    const int length = 100 + (r * 37) % 901;
    for (int j = 0; j < length; ++j) {
      row.columns.push_back((r * 7 + j * 13) % kVariables);
      row.coefficients.push_back(1.0 + j % 5);
    }
    row.sense = '<';
    row.rhs = 100.0;
  }
  model.objective.assign(kVariables, 1.0);
  return model;
}

double clamp(double bound) { return std::clamp(bound, -kSolverInfinity, kSolverInfinity); }

/// "{prefix}{i}" for i < count in one buffer, and the pointers to them.
struct Names {
  std::unique_ptr<char[]> buffer;
  std::vector<const char*> pointers;
};

Names make_names(char prefix, std::size_t count) {
  Names names;
  const std::size_t width = 2 + std::to_string(count).size();
  names.buffer = std::make_unique_for_overwrite<char[]>(count * width);
  names.pointers.resize(count);
  char* cursor = names.buffer.get();
  for (std::size_t i = 0; i < count; ++i) {
    names.pointers[i] = cursor;
    *cursor++ = prefix;
    cursor = std::to_chars(cursor, cursor + width, i).ptr;
    *cursor++ = '\0';
  }
  return names;
}

using Clock = std::chrono::steady_clock;

/// A line of /proc/self/status in bytes ("VmRSS", "VmHWM"), or -1.
long long status_bytes(std::string_view field) {
  std::FILE* file = std::fopen("/proc/self/status", "r");
  if (file == nullptr) {
    return -1;
  }
  long long bytes = -1;
  char line[256];
  while (std::fgets(line, sizeof line, file) != nullptr) {
    const std::string_view text = line;
    if (text.starts_with(field) && text.size() > field.size() && text[field.size()] == ':') {
      bytes = std::atoll(line + field.size() + 1) * 1024;
      break;
    }
  }
  std::fclose(file);
  return bytes;
}

/// Resets the process's peak resident size to its current one; false where the kernel does not allow it.
bool reset_peak() {
  std::FILE* file = std::fopen("/proc/self/clear_refs", "w");
  if (file == nullptr) {
    return false;
  }
  const bool written = std::fputs("5", file) >= 0;
  return std::fclose(file) == 0 && written;
}

/// A native call's status, the seconds it took and the peak resident memory it added (-1 when unknown).
struct Call {
  int status;
  double seconds;
  long long peak_bytes;
};

template <class Function>
Call timed_call(Function&& function) {
  const long long before = status_bytes("VmRSS");
  const bool peak_known = before >= 0 && reset_peak();
  const auto start = Clock::now();
  const int status = function();
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return {status, seconds, peak_known ? status_bytes("VmHWM") - before : -1};
}

Call add_columns(const FunctionTable& solver, copt_prob* problem, const Model& model) {
  const std::size_t n = model.lower.size();
  std::vector<char> types(n, 'C');
  std::vector<double> lower(n);
  std::vector<double> upper(n);
  for (std::size_t i = 0; i < n; ++i) {
    lower[i] = clamp(model.lower[i]);
    upper[i] = clamp(model.upper[i]);
  }
  const Names names = make_names('x', n);
  return timed_call([&] {
    return solver.COPT_AddCols(problem, static_cast<int>(n), nullptr, nullptr, nullptr, nullptr, nullptr,
                               types.data(), lower.data(), upper.data(), names.pointers.data());
  });
}

Call add_rows(const FunctionTable& solver, copt_prob* problem, const Model& model) {
  const std::size_t m = model.rows.size();
  std::size_t entries = 0;
  for (const Row& row : model.rows) {
    entries += row.columns.size();
  }
  std::vector<int> starts(m);
  std::vector<int> counts(m);
  std::vector<int> columns;
  std::vector<double> values;
  columns.reserve(entries);
  values.reserve(entries);
  std::vector<double> lower(m);
  std::vector<double> upper(m);
  for (std::size_t k = 0; k < m; ++k) {
    const Row& row = model.rows[k];
    starts[k] = static_cast<int>(columns.size());
    counts[k] = static_cast<int>(row.columns.size());
    columns.insert(columns.end(), row.columns.begin(), row.columns.end());
    values.insert(values.end(), row.coefficients.begin(), row.coefficients.end());
    lower[k] = clamp(row.sense == '<' ? -kInfinity : row.rhs);
    upper[k] = clamp(row.sense == '>' ? kInfinity : row.rhs);
  }
  const Names names = make_names('c', m);
  return timed_call([&] {
    return solver.COPT_AddRows(problem, static_cast<int>(m), starts.data(), counts.data(), columns.data(),
                               values.data(), nullptr, lower.data(), upper.data(), names.pointers.data());
  });
}

int set_objective(const FunctionTable& solver, copt_prob* problem, const Model& model) {
  std::vector<int> indices(model.objective.size());
  std::iota(indices.begin(), indices.end(), 0);
  int status = solver.COPT_SetColObj(problem, static_cast<int>(indices.size()), indices.data(), model.objective.data());
  if (status == 0) {
    status = solver.COPT_SetObjConst(problem, 0.0);
  }
  return status == 0 ? solver.COPT_SetObjSense(problem, 1) : status;
}

/// The same sum the Python side takes of its lists: bounds, row right-hand sides, columns and coefficients.
double checksum(const Model& model) {
  double sum = 0.0;
  for (std::size_t i = 0; i < model.lower.size(); ++i) {
    sum += clamp(model.lower[i]) + clamp(model.upper[i]) * 1e-30;
  }
  for (const Row& row : model.rows) {
    sum += row.rhs;
    for (std::size_t j = 0; j < row.columns.size(); ++j) {
      sum += row.columns[j] * row.coefficients[j];
    }
  }
  return sum + std::accumulate(model.objective.begin(), model.objective.end(), 0.0);
}

void print_times(const char* name, const std::vector<double>& times, bool last) {
  std::printf("\"%s\": [", name);
  for (std::size_t i = 0; i < times.size(); ++i) {
    std::printf(i == 0 ? "%.9f" : ", %.9f", times[i]);
  }
  std::printf(last ? "]" : "], ");
}

/// Turns the stand-in's call log off, so that both sides pay only for building the problem, and its discard mode on
/// when asked.
bool set_up_standin(const char* state_library, bool discard) {
  void* handle = dlopen(state_library, RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    return false;
  }
  auto* set_logging = reinterpret_cast<void (*)(int)>(dlsym(handle, "standin_set_logging"));
  if (set_logging == nullptr) {
    return false;
  }
  set_logging(0);
  auto* set_discard = reinterpret_cast<void (*)(int)>(dlsym(handle, "standin_set_discard"));
  if (set_discard == nullptr) {
    return false;
  }
  set_discard(discard ? 1 : 0);
  // The handle stays open: copt.dll keeps its state in this library for the whole run.
  return true;
}

int fail(const char* what, int status) {
  std::fprintf(stderr, "build_problem: %s failed with %d\n", what, status);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5 || argc > 7 || (argc == 7 && std::string_view(argv[6]) != "discard")) {
    std::fprintf(stderr,
                 "usage: build_problem <lp|long> <size> <repetitions> <path of copt.dll> [<state library> [discard]]\n");
    return 2;
  }
  const bool discard = argc == 7;
  const std::string_view kind = argv[1];
  const int size = std::atoi(argv[2]);
  const int repetitions = std::atoi(argv[3]);
  auto library = brenlox_copt::backend::load_library(std::string(argv[4]));
  if (!library) {
    std::fprintf(stderr, "build_problem: %s\n", library.error().display().c_str());
    return 1;
  }
  if (argc >= 6 && !set_up_standin(argv[5], discard)) {
    std::fprintf(stderr, "build_problem: cannot use the state library %s\n", argv[5]);
    return 1;
  }
  const FunctionTable& solver = (*library)->table();
  const Model model = kind == "lp" ? classic_lp(size) : long_rows(size);

  copt_env* environment = nullptr;
  if (const int status = solver.COPT_CreateEnv(&environment); status != 0) {
    return fail("COPT_CreateEnv", status);
  }
  std::vector<double> vars_times;
  std::vector<double> rows_times;
  std::vector<double> objective_times;
  std::vector<double> rows_peaks;
  int status = 0;
  for (int repetition = 0; repetition < repetitions && status == 0; ++repetition) {
    copt_prob* problem = nullptr;
    if (status = solver.COPT_CreateProb(environment, &problem); status != 0) {
      break;
    }
    const auto start = Clock::now();
    const Call columns = add_columns(solver, problem, model);
    const auto columns_done = Clock::now();
    const Call rows = columns.status == 0 ? add_rows(solver, problem, model) : columns;
    const auto rows_done = Clock::now();
    status = rows.status == 0 ? set_objective(solver, problem, model) : rows.status;
    const auto objective_done = Clock::now();
    vars_times.push_back(discard ? columns.seconds : std::chrono::duration<double>(columns_done - start).count());
    rows_times.push_back(discard ? rows.seconds : std::chrono::duration<double>(rows_done - columns_done).count());
    objective_times.push_back(std::chrono::duration<double>(objective_done - rows_done).count());
    rows_peaks.push_back(static_cast<double>(rows.peak_bytes));
    solver.COPT_DeleteProb(&problem);
  }
  solver.COPT_DeleteEnv(&environment);
  if (status != 0) {
    return fail("building the problem", status);
  }
  std::size_t entries = 0;
  for (const Row& row : model.rows) {
    entries += row.columns.size();
  }
  std::printf("{\"phases\": {");
  print_times("vars", vars_times, false);
  print_times("rows", rows_times, false);
  print_times("objective", objective_times, true);
  std::printf("}, ");
  print_times("rows_peak_bytes", rows_peaks, false);
  std::printf("\"counts\": {\"vars\": %zu, \"rows\": %zu, \"nnz\": %zu}, \"checksum\": %.17g}\n",
              model.lower.size(), model.rows.size(), entries, checksum(model));
  return 0;
}
