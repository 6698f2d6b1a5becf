/* pyconfig.h: what a 64-bit Windows CPython tells extension modules about its build, for the mingw-w64 cross-build
 * (the build machine's own pyconfig.h describes Linux: 8-byte long, 4-byte wchar_t, no DLL imports). */
#ifndef Py_CONFIG_H
#define Py_CONFIG_H

#define MS_WIN32
#define MS_WIN64
#define MS_WINDOWS
#define NT_THREADS
#define WITH_THREAD

/* The interpreter lives in a DLL: the headers declare every function and object __declspec(dllimport). */
#define Py_ENABLE_SHARED 1
#define HAVE_DECLSPEC_DLL

/* LLP64 */
#define SIZEOF_SHORT 2
#define SIZEOF_INT 4
#define SIZEOF_LONG 4
#define SIZEOF_LONG_LONG 8
#define SIZEOF_FLOAT 4
#define SIZEOF_DOUBLE 8
#define SIZEOF_VOID_P 8
#define SIZEOF_SIZE_T 8
#define SIZEOF_TIME_T 8
#define SIZEOF_WCHAR_T 2
#define SIZEOF__BOOL 1
#define SIZEOF_OFF_T 4
#define SIZEOF_FPOS_T 8
#define ALIGNOF_SIZE_T 8
#define ALIGNOF_LONG 4
#define DOUBLE_IS_LITTLE_ENDIAN_IEEE754 1

#endif
