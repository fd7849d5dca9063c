#include "support/TestRegistry.h"

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace marvoline::test {

namespace {

struct RegisteredTest {
    std::string name;
    std::string className;
    TestRun run;
};

// Filled while the test sources' statics are initialised, before main.
std::vector<RegisteredTest>& registeredTests() {
    static std::vector<RegisteredTest> tests;
    return tests;
}

// "/src/tests/tst_views.cpp" -> "tst_views"
std::string baseName(std::string_view path) {
    if (const auto slash = path.rfind('/'); slash != std::string_view::npos)
        path.remove_prefix(slash + 1);
    return std::string(path.substr(0, path.find('.')));
}

} // namespace

bool registerTest(const char* sourceFile, const char* className, TestRun run) {
    registeredTests().push_back({baseName(sourceFile), className, run});
    return true;
}

int runNamedTest(int argc, char** argv) {
    const char* self = argc > 0 ? argv[0] : "marvoline_tests";
    const std::string_view wanted = argc > 1 ? argv[1] : "";
    for (const RegisteredTest& test : registeredTests()) {
        if (wanted.empty() || (wanted != test.name && wanted != test.className))
            continue;
        // The test sees itself started as a program of its own name, so that
        // the application name and QTest's output read as they always did.
        std::string program(self);
        const auto slash = program.rfind('/');
        program =
            (slash == std::string::npos ? std::string() : program.substr(0, slash + 1)) + test.name;
        std::vector<char*> args{program.data()};
        args.insert(args.end(), argv + 2, argv + argc);
        args.push_back(nullptr);
        return test.run(static_cast<int>(args.size()) - 1, args.data());
    }
    std::fprintf(stderr,
                 "%s: no test named \"%s\"\nUsage: %s TEST [QTest arguments], TEST one of:\n", self,
                 std::string(wanted).c_str(), self);
    for (const RegisteredTest& test : registeredTests())
        std::fprintf(stderr, "  %s (%s)\n", test.name.c_str(), test.className.c_str());
    return 2;
}

} // namespace marvoline::test
