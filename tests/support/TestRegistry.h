#pragma once

namespace marvoline::test {

// One test class run in a process of its own: its sandbox, its application
// object and QTest's arguments.
using TestRun = int (*)(int argc, char** argv);

// Makes a test class runnable by the shared test executable, under the name of
// its source file ("tst_views" for tst_views.cpp) and under its class name.
bool registerTest(const char* sourceFile, const char* className, TestRun run);

// The shared test executable's main: runs the test named by the first argument,
// handing it the arguments that follow (QTest's test functions and options).
int runNamedTest(int argc, char** argv);

} // namespace marvoline::test
