// dump.cpp: writes the log and the live problems as JSON (formats in standin/README.md).
#include "standin/state/dump.hpp"

#include <string_view>
#include <variant>

#include "standin/state/json_writer.hpp"

namespace brenlox_copt::standin {
namespace {

void write_column(JsonWriter& out, const Column& column) {
  out.begin_object();
  out.key("name").text(column.name);
  out.key("type").text(std::string_view(&column.type, 1));
  out.key("lower").number(column.lower);
  out.key("upper").number(column.upper);
  out.key("objective").number(column.objective);
  out.end_object();
}

void write_row(JsonWriter& out, const Row& row) {
  out.begin_object();
  out.key("name").text(row.name);
  out.key("lower").number(row.lower);
  out.key("upper").number(row.upper);
  out.key("entries").begin_array();
  for (const RowEntry& entry : row.entries) {
    out.begin_array().integer(entry.column).number(entry.value).end_array();
  }
  out.end_array();
  out.end_object();
}

void write_problem(JsonWriter& out, const Problem& problem) {
  out.begin_object();
  out.key("handle").text(problem.name);
  out.key("env").text(problem.env->name);
  out.key("columns").begin_array();
  for (const Column& column : problem.columns) {
    write_column(out, column);
  }
  out.end_array();
  out.key("rows").begin_array();
  for (const Row& row : problem.rows) {
    write_row(out, row);
  }
  out.end_array();
  out.key("objective_constant").number(problem.objective_constant);
  out.key("objective_sense").integer(problem.objective_sense);
  out.key("parameters").begin_object();
  for (const auto& [name, value] : problem.parameters) {
    out.key(name);
    if (const int* integer = std::get_if<int>(&value)) {
      out.integer(*integer);
    } else {
      out.number(std::get<double>(value));
    }
  }
  out.end_object();
  out.end_object();
}

}  // namespace

std::string log_json(const State& state) {
  JsonWriter out;
  out.begin_array();
  for (const LogEntry& entry : state.log) {
    out.begin_object();
    if (entry.is_event) {
      out.key("event").text(entry.name);
    } else {
      out.key("call").text(entry.name);
      out.key("args").raw(entry.arguments);
      out.key("code").integer(entry.code);
    }
    out.end_object();
  }
  out.end_array();
  return out.take();
}

std::string problems_json(const State& state) {
  JsonWriter out;
  out.begin_array();
  for (const Problem* problem : state.problems.in_creation_order()) {
    write_problem(out, *problem);
  }
  out.end_array();
  return out.take();
}

}  // namespace brenlox_copt::standin
