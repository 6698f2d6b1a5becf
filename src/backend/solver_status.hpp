// solver_status.hpp: the values of the solver's integer attribute "Status" that mean something here, named once for
// the backend, which maps them to result codes, and for the stand-in, which reports them.
#pragma once

#include <array>

namespace brenlox_copt::solver_status {

inline constexpr int kUnstarted = 0;
inline constexpr int kOptimal = 1;
inline constexpr int kInfeasible = 2;
inline constexpr int kUnbounded = 3;
inline constexpr int kInfeasibleOrUnbounded = 4;
inline constexpr int kNumerical = 5;
inline constexpr int kTimeLimit = 8;
/// Stopped short of any limit the module knows of (the stand-in: its iteration limit); no usable outcome.
inline constexpr int kUnfinished = 9;
/// The solver's second report of a proven optimum, and of proven infeasibility: the same outcomes as 1 and 2.
inline constexpr int kOptimalToo = 20;
inline constexpr int kInfeasibleToo = 21;
/// Every status of a solve that stopped at a limit before a definite outcome: the time limit and the solver's others.
inline constexpr std::array kStoppedAtLimit{6, 7, kTimeLimit, 10, 11, 12};

}  // namespace brenlox_copt::solver_status
