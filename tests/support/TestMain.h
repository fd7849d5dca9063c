#pragma once

#include "support/XdgSandbox.h"

#include "main/Translations.h"

#include <QApplication>
#include <QTest>

// Like QTEST_MAIN, but the XDG sandbox is in place before anything of the
// program runs, and the program's translations are loaded.
#define MARVOLINE_TEST_MAIN(TestObject)                                                            \
    int main(int argc, char** argv) {                                                              \
        marvoline::test::XdgSandbox sandbox;                                                       \
        QApplication app(argc, argv);                                                              \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        marvoline::installTranslations(app);                                                       \
        TestObject tc(sandbox);                                                                    \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }
