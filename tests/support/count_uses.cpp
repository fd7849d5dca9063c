// Counts uses of one application, as the chooser does when it opens files:
//   marvoline_count_uses APP_PATH TIMES
// Used by the preferences test to count from several processes at once. The
// environment (XDG_CONFIG_HOME) is the caller's.

#include "main/MainViewController.h"
#include "platform/PreferencesStore.h"

#include <QCoreApplication>
#include <QUrl>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    bool ok = false;
    const int times = args.size() == 3 ? args.at(2).toInt(&ok) : 0;
    if (!ok || times < 0) {
        std::fputs("usage: marvoline_count_uses APP_PATH TIMES\n", stderr);
        return 2;
    }
    const QUrl appURL = QUrl::fromLocalFile(args.at(1));
    for (int i = 0; i < times; ++i)
        marvoline::MainViewController::recordAppUsage(appURL);
    return marvoline::PreferencesStore::waitForBackgroundWrites(std::chrono::minutes(2)) ? 0 : 1;
}
