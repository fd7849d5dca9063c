// The real program, started as marvoline is, ending at a chosen moment:
//   chooser_probe paint FILE...   at the chooser window's first paint
//   chooser_probe tick FILE...    at the countdown's first tick
//   chooser_probe page FILE.pdf   once the PDF's first page has been painted
#include "ProbeExit.h"

#include "main/Application.h"
#include "main/MainViewController.h"
#include "platform/StartupWarmUp.h"
#include "views/PdfPreviewView.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstring>

#include <unistd.h>

int main(int argc, char** argv) {
    const bool untilTick = argc > 1 && std::strcmp(argv[1], "tick") == 0;
    const bool untilPage = argc > 1 && std::strcmp(argv[1], "page") == 0;
    // Drop the mode word so the program sees only its files.
    for (int i = 1; i + 1 < argc; ++i)
        argv[i] = argv[i + 1];
    if (argc > 1)
        --argc;

    marvoline::StartupWarmUp warmUp;
    int status = 0;
    {
        QApplication app(argc, argv);
        warmUp.applicationReady();
        ProbeExit probe([untilTick, untilPage](QObject* watched, QEvent* event) {
            if (untilPage) {
                const auto* pdf = qobject_cast<marvoline::PdfPreviewView*>(watched);
                return event->type() == QEvent::Paint && pdf &&
                       pdf->state() == marvoline::PdfPreviewView::State::Page;
            }
            if (untilTick) {
                return event->type() == QEvent::Timer && qobject_cast<QTimer*>(watched) &&
                       qobject_cast<marvoline::MainViewController*>(watched->parent());
            }
            auto* widget = qobject_cast<QWidget*>(watched);
            return event->type() == QEvent::Paint && widget &&
                   widget->objectName() == QLatin1String("chooserWindow");
        });
        app.installEventFilter(&probe);
        status = marvoline::runApplication(app, argc, argv);
        warmUp.finish();
    }
    // As the program does: a preview decoder still at work is not waited for.
    std::fflush(nullptr);
    ::_exit(status);
}
