#include "support/Chooser.h"

#include "platform/PreferencesStore.h"

#include <QJsonObject>
#include <QPixmap>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace marvoline::test {

QList<AppCandidate> candidates(int count, int defaultIndex) {
    QList<AppCandidate> list;
    for (int i = 0; i < count; ++i) {
        QPixmap pixmap(64, 64);
        pixmap.fill(QColor::fromHsv(i * 30 % 360, 200, 200));
        list.append({QUrl::fromLocalFile(u"/apps/app%1.desktop"_s.arg(i)), u"App %1"_s.arg(i),
                     std::nullopt, QIcon(pixmap), i == defaultIndex});
    }
    return list;
}

QList<AppIconButton*> tiles(const MainViewController& vc) {
    return vc.appStackView->findChildren<AppIconButton*>(QString(), Qt::FindDirectChildrenOnly);
}

qint64 usesOf(const QUrl& app) {
    PreferencesStore::waitForBackgroundWrites(std::chrono::seconds(30));
    return PreferencesStore::standard()
        .value(MainViewController::appUsageKey)
        .toObject()
        .value(app.path())
        .toInteger();
}

std::unique_ptr<MainViewController> showing(const QList<QUrl>& files, bool openAsContext,
                                            bool skipTimer) {
    auto vc = std::make_unique<MainViewController>();
    vc->configure(files, openAsContext, skipTimer);
    vc->showFiles();
    return vc;
}

ChooserWindow::ChooserWindow(QSize size) {
    (new QVBoxLayout(&window))->addWidget(vc);
    window.resize(size);
    window.show();
}

bool ChooserWindow::waitUntilSettled() {
    return QTest::qWaitForWindowExposed(&window) && waitUntilSettled(*vc);
}

bool ChooserWindow::waitUntilSettled(const MainViewController& vc) {
    // The controller's settle timer is the one running for windowSettleMs.
    return QTest::qWaitFor([&vc] {
        for (const QTimer* t : vc.findChildren<QTimer*>()) {
            if (t->interval() == MainViewController::windowSettleMs && t->isActive())
                return false;
        }
        return true;
    });
}

} // namespace marvoline::test
