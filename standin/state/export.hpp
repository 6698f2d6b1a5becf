// export.hpp: marks what the state library exports to copt.dll and to the tests (everything else stays hidden).
#pragma once

#if defined(_WIN32)
#if defined(STANDIN_STATE_BUILD)
#define STANDIN_STATE_API __declspec(dllexport)
#else
#define STANDIN_STATE_API __declspec(dllimport)
#endif
#else
#define STANDIN_STATE_API __attribute__((visibility("default")))
#endif
