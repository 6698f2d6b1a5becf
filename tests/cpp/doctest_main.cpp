// doctest_main.cpp: the one main() that every C++ test executable links.
#define DOCTEST_CONFIG_IMPLEMENT_WITH_MAIN
#include <doctest/doctest.h>
