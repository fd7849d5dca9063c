#pragma once

#include "support/TestRegistry.h"
#include "support/XdgSandbox.h"

#include "main/Translations.h"

#include <QApplication>
#include <QTest>

#include <cstdio>

#include <unistd.h>

// Like QTEST_MAIN, but the XDG sandbox is in place before anything of the
// program runs, and the program's translations are loaded. The test classes
// share one executable: this registers the class under its source file's name
// ("marvoline_tests tst_views [QTest arguments]" runs it) instead of defining main.
// Its names live in a namespace of the class's own, as the test sources are
// compiled several to a batch.
#define MARVOLINE_TEST_MAIN(TestObject)                                                            \
    namespace TestObject##Main {                                                                   \
        int marvolineRunTestClass(int argc, char** argv) {                                         \
            marvoline::test::XdgSandbox sandbox;                                                   \
            QApplication app(argc, argv);                                                          \
            app.setAttribute(Qt::AA_Use96Dpi, true);                                               \
            marvoline::installTranslations(app);                                                   \
            TestObject tc(sandbox);                                                                \
            QTEST_SET_MAIN_SOURCE_PATH                                                             \
            return QTest::qExec(&tc, argc, argv);                                                  \
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
            int status = 0;                                                                        \
            {                                                                                      \
                marvoline::test::XdgSandbox sandbox;                                               \
                QApplication app(argc, argv);                                                      \
                app.setAttribute(Qt::AA_Use96Dpi, true);                                           \
                marvoline::installTranslations(app);                                               \
                TestObject tc(sandbox);                                                            \
                QTEST_SET_MAIN_SOURCE_PATH                                                         \
                status = QTest::qExec(&tc, argc, argv);                                            \
            }                                                                                      \
            std::fflush(nullptr);                                                                  \
            ::_exit(status);                                                                       \
        }                                                                                          \
        [[maybe_unused]] const bool marvolineTestRegistered =                                      \
            marvoline::test::registerTest(__FILE__, #TestObject, marvolineRunTestClass);           \
    }
