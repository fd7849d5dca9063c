#pragma once

#include "support/TestRegistry.h"
#include "support/XdgSandbox.h"

#include "main/Translations.h"

#include <QApplication>
#include <QTest>

#include <cstdio>

#include <unistd.h>

namespace marvoline::test {

// Runs the test class as the program starts: in the XDG sandbox, which is in
// place before anything of the program runs, with the program's translations.
template <typename TestObject> int execInSandbox(int argc, char** argv) {
    XdgSandbox sandbox;
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    installTranslations(app);
    TestObject tc(sandbox);
    return QTest::qExec(&tc, argc, argv);
}

} // namespace marvoline::test

// Like QTEST_MAIN, but run by execInSandbox. The test classes share one
// executable: this registers the class under its source file's name
// ("marvoline_tests tst_views [QTest arguments]" runs it) instead of defining
// main. Its names live in a namespace of the class's own, as the test sources
// are compiled several to a batch.
#define MARVOLINE_TEST_MAIN(TestObject)                                                            \
    namespace TestObject##Main {                                                                   \
        int marvolineRunTestClass(int argc, char** argv) {                                         \
            QTEST_SET_MAIN_SOURCE_PATH                                                             \
            return marvoline::test::execInSandbox<TestObject>(argc, argv);                         \
        }                                                                                          \
        [[maybe_unused]] const bool marvolineTestRegistered =                                      \
            marvoline::test::registerTest(__FILE__, #TestObject, marvolineRunTestClass);           \
    }

// The same for tests that may leave a runaway decoder thread behind: the
// process ends as the program does (main.cpp), without waiting for it or
// tearing down the libraries under it, once the sandbox is cleaned up.
#define MARVOLINE_TEST_MAIN_LEAVING_THREADS(TestObject)                                            \
    namespace TestObject##Main {                                                                   \
        int marvolineRunTestClass(int argc, char** argv) {                                         \
            QTEST_SET_MAIN_SOURCE_PATH                                                             \
            const int status = marvoline::test::execInSandbox<TestObject>(argc, argv);             \
            std::fflush(nullptr);                                                                  \
            ::_exit(status);                                                                       \
        }                                                                                          \
        [[maybe_unused]] const bool marvolineTestRegistered =                                      \
            marvoline::test::registerTest(__FILE__, #TestObject, marvolineRunTestClass);           \
    }
