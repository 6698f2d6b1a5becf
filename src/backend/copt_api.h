/* copt_api.h: the solver library's C entry points, listed once for the module's function table and the stand-in. */
#ifndef BRENLOX_COPT_API_H
#define BRENLOX_COPT_API_H

#ifdef __cplusplus
extern "C" {
#endif

/* Opaque handles; only the solver library knows what lies behind them. */
typedef struct copt_env_config_s copt_env_config;
typedef struct copt_env_s copt_env;
typedef struct copt_prob_s copt_prob;

/*
 * The entry points in the order the loader resolves them. Each row is X(name, parameter list); every entry point
 * returns int, 0 meaning success. Creators receive the address of a null handle; deleters the address of the handle.
 */
#define COPT_API_ENTRY_POINTS(X)                                                                                      \
  X(COPT_GetBanner, (void))                                                                                           \
  X(COPT_GetRetcodeMsg, (int code, char *buffer, int buffer_size))                                                    \
  X(COPT_CreateEnvConfig, (copt_env_config **config))                                                                 \
  X(COPT_DeleteEnvConfig, (copt_env_config **config))                                                                 \
  X(COPT_SetEnvConfig, (copt_env_config *config, const char *name, const char *value))                                \
  X(COPT_CreateEnv, (copt_env **env))                                                                                 \
  X(COPT_CreateEnvWithConfig, (copt_env_config *config, copt_env **env))                                              \
  X(COPT_DeleteEnv, (copt_env **env))                                                                                 \
  X(COPT_CreateProb, (copt_env *env, copt_prob **prob))                                                               \
  X(COPT_DeleteProb, (copt_prob **prob))                                                                              \
  X(COPT_Update, (copt_prob *prob))                                                                                   \
  X(COPT_AddCols, (copt_prob *prob, int count, const int *col_starts, const int *col_counts,                          \
                   const int *row_indices, const double *values, const double *costs, const char *types,              \
                   const double *lower, const double *upper, const char *const *names))                               \
  X(COPT_AddRows, (copt_prob *prob, int count, const int *row_starts, const int *row_counts,                          \
                   const int *col_indices, const double *values, const char *senses, const double *lower,             \
                   const double *upper, const char *const *names))                                                    \
  X(COPT_SetColObj, (copt_prob *prob, int count, const int *indices, const double *values))                           \
  X(COPT_SetObjConst, (copt_prob *prob, double constant))                                                             \
  X(COPT_SetObjSense, (copt_prob *prob, int sense))                                                                   \
  X(COPT_SetIntParam, (copt_prob *prob, const char *name, int value))                                                 \
  X(COPT_SetDblParam, (copt_prob *prob, const char *name, double value))                                              \
  X(COPT_GetIntAttr, (copt_prob *prob, const char *name, int *value))                                                 \
  X(COPT_GetDblAttr, (copt_prob *prob, const char *name, double *value))                                              \
  X(COPT_Solve, (copt_prob *prob))                                                                                    \
  X(COPT_GetSolution, (copt_prob *prob, double *values))                                                              \
  X(COPT_GetLpSolution, (copt_prob *prob, double *values, double *slacks, double *duals, double *reduced_costs))

/* A library that implements the entry points defines COPT_API_EXPORT before including this header. */
#ifndef COPT_API_EXPORT
#define COPT_API_EXPORT
#endif

#define COPT_API_DECLARE(name, params) COPT_API_EXPORT int name params;
COPT_API_ENTRY_POINTS(COPT_API_DECLARE)
#undef COPT_API_DECLARE

#ifdef __cplusplus
}
#endif

#endif
