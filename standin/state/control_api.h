/* control_api.h: the stand-in's test controls, exported by the state library and driven by the tests through ctypes. */
#ifndef BRENLOX_STANDIN_CONTROL_API_H
#define BRENLOX_STANDIN_CONTROL_API_H

#include "standin/state/export.hpp"

#ifdef __cplusplus
extern "C" {
#endif

/* Control functions that return int give 0 when done, -1 when refused (unknown name, kind or value) and -2 when out
 * of memory. Nothing here changes the live handles. */

/* Clears every control, the log, the call counts and the numbering of new handles. */
STANDIN_STATE_API void standin_reset(void);
/* Logging off: entry-point calls are no longer logged (still counted); library loads and unloads always are. */
STANDIN_STATE_API void standin_set_logging(int enabled);
/* Discard on: COPT_AddCols, COPT_AddRows and COPT_SetColObj check only the handle and count, keep no contents and
 * log no arrays. */
STANDIN_STATE_API void standin_set_discard(int enabled);

/* At exit, when the state is destroyed, writes {"log": [...], "live": {...}, "loaded": n} to `path` (NULL or empty:
 * nothing is written). A reset keeps the path. */
STANDIN_STATE_API int standin_log_at_exit(const char *path);
/* Arms `entry_point` to misbehave on its nth call from now (nth >= 1), and on every later call when persistent:
 * kind 0 fails with `code` (nonzero) and does nothing else; kind 1 (creators only) creates a real handle, hands it
 * out and still fails with `code`; kind 2 (creators only) succeeds with a null handle. Re-arming replaces. */
STANDIN_STATE_API int standin_arm(const char *entry_point, int kind, int code, long long nth, int persistent);
/* Sets the text COPT_GetRetcodeMsg gives for `code` to `length` raw bytes; a negative length makes that lookup fail. */
STANDIN_STATE_API int standin_set_message(int code, const char *bytes, long long length);
/* Forces an attribute of the next solve: "Status", "HasSol" or "IsMIP" (int), "ObjVal" (double). */
STANDIN_STATE_API int standin_force_int(const char *attribute, int value);
STANDIN_STATE_API int standin_force_double(const char *attribute, double value);
/* Forces the solution of the next solve; its length must equal the problem's column count at that solve. */
STANDIN_STATE_API int standin_force_solution(const double *values, long long count);

/* Calls of `entry_point` since the last reset; -1 for an unknown name. */
STANDIN_STATE_API long long standin_call_count(const char *entry_point);
/* Live handles: kind 0 configurations, 1 environments, 2 problems; -1 for another kind. */
STANDIN_STATE_API long long standin_live(int kind);
/* Stand-in libraries (copt.dll and variants) mapped right now. */
STANDIN_STATE_API long long standin_loaded(void);
/* JSON texts, freed with standin_free; NULL when out of memory. The log: [{"call": name, "args": [...], "code": n}
 * or {"event": "load"}, ...]. The problems: one object per live problem, oldest first. */
STANDIN_STATE_API char *standin_log_json(void);
STANDIN_STATE_API char *standin_problems_json(void);
STANDIN_STATE_API void standin_free(char *text);
/* The entry-point names in table order; NULL past the last. */
STANDIN_STATE_API const char *standin_entry_point_name(int index);

#ifdef __cplusplus
}
#endif

#endif
