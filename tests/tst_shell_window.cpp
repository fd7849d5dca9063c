// The application shell: window title, whether the program is the default of
// the file, creating the one window, open events and reminder answers.
#include "support/TestMain.h"

#include "main/AppDelegate.h"
#include "main/MainViewController.h"
#include "platform/FilePaths.h"
#include "platform/NotificationCenter.h"
#include "platform/Platform.h"

#include <QCheckBox>
#include <QFile>
#include <QSignalSpy>
#include <QTimer>
#include <QWindow>

using namespace marvoline;

class ShellWindowTest : public QObject {
    Q_OBJECT

public:
    explicit ShellWindowTest(test::XdgSandbox& sandbox)
        : m_sandbox(sandbox) {
        m_sandbox.addApp(QStringLiteral("org.example.Reader.desktop"), QStringLiteral("Reader"),
                         {QStringLiteral("application/pdf"), QStringLiteral("text/plain")});
        // The program itself handles CSV files.
        m_sandbox.addRawDesktopFile(AppRegistry_ownId(),
                                    "[Desktop Entry]\nType=Application\nName=Marvoline\nExec=" +
                                        QByteArray(MARVOLINE_EXECUTABLE) +
                                        " %F\nMimeType=text/csv;\n");
        m_sandbox.writeMimeinfoCache(
            {{QStringLiteral("application/pdf"), {QStringLiteral("org.example.Reader.desktop")}},
             {QStringLiteral("text/plain"), {QStringLiteral("org.example.Reader.desktop")}},
             {QStringLiteral("text/csv"), {AppRegistry_ownId()}}});
        m_sandbox.writeDefaults(
            {{QStringLiteral("application/pdf"), QStringLiteral("org.example.Reader.desktop")},
             {QStringLiteral("text/csv"), AppRegistry_ownId()}});
    }

    static QString AppRegistry_ownId() { return QStringLiteral("org.marvoline.Marvoline.desktop"); }

private Q_SLOTS:
    void title_data() {
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::addColumn<QString>("expected");
        const auto url = [](const QByteArray& p) { return fileUrlFromPath(p); };
        QTest::newRow("one file") << QList<QUrl>{url("/tmp/photo.jpg")}
                                  << QStringLiteral("photo.jpg");
        QTest::newRow("two files")
            << QList<QUrl>{url("/tmp/a.txt"), url("/tmp/b.txt")} << QStringLiteral("a.txt (2件)");
        QTest::newRow("three files") << QList<QUrl>{url("/r/report.pdf"), url("/r/x"), url("/r/y")}
                                     << QStringLiteral("report.pdf (3件)");
        QTest::newRow("folder") << QList<QUrl>{url("/home/u/Pictures/")}
                                << QStringLiteral("Pictures");
        QTest::newRow("spaces") << QList<QUrl>{url("/tmp/my notes.md")}
                                << QStringLiteral("my notes.md");
        QTest::newRow("root") << QList<QUrl>{url("/")} << QStringLiteral("/");
        QTest::newRow("none") << QList<QUrl>{} << QString();
    }
    void title() {
        QFETCH(QList<QUrl>, urls);
        QFETCH(QString, expected);
        QCOMPARE(AppDelegate::windowTitle(urls), expected);
    }

    void isOpenAsContextBothWays() {
        const QUrl pdf = m_sandbox.writeFile(QStringLiteral("doc.pdf"), "%PDF-1.4\n%%EOF\n");
        const QUrl csv = m_sandbox.writeFile(QStringLiteral("table.csv"), "a,b\n1,2\n");
        const QUrl txt = m_sandbox.writeFile(QStringLiteral("plain.txt"), "hello\n");
        QVERIFY(AppDelegate::computeIsOpenAsContext(pdf));  // another default
        QVERIFY(!AppDelegate::computeIsOpenAsContext(csv)); // the program is the default
        QVERIFY(AppDelegate::computeIsOpenAsContext(txt));  // no explicit default: the reader
        QVERIFY(AppDelegate::computeIsOpenAsContext(fileUrlFromPath("/nonexistent/x.pdf")));
    }

    void showWindowOnceAndReuse() {
        AppDelegate delegate;
        delegate.showWindow(); // nothing pending: nothing happens
        QVERIFY(!delegate.window);
        QVERIFY(!delegate.hasShownWindow());

        const QUrl a = m_sandbox.writeFile(QStringLiteral("w/a.txt"), "a");
        const QUrl b = m_sandbox.writeFile(QStringLiteral("w/b[*].txt"), "b");
        delegate.openUrls({a, b});
        QVERIFY(delegate.window);
        QWidget* window = delegate.window;
        MainViewController* vc = delegate.mainViewController;
        QVERIFY(vc);
        QVERIFY(delegate.pendingURLs.isEmpty());
        QCOMPARE(vc->fileURLs, (QList<QUrl>{a, b}));
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->windowHandle()->title(), QStringLiteral("a.txt (2件)"));
        // At least 520 x 300, and never narrower than the options row needs.
        QCOMPARE(window->minimumHeight(), 300);
        QCOMPARE(window->minimumWidth(), std::max(520, vc->optionsStack->sizeHint().width() + 24));
        QVERIFY(window->width() >= window->minimumWidth());
        QVERIFY(vc->timer && vc->timer->isActive());

        // A file name with Qt's title placeholder keeps it.
        delegate.openUrls({b});
        QCOMPARE(window->windowHandle()->title(), QStringLiteral("b[*].txt"));
        QCOMPARE(delegate.window.data(), window);
        QCOMPARE(delegate.mainViewController.data(), vc);

        // The launch check that follows finds the window and does nothing.
        QSignalSpy terminate(&delegate, &AppDelegate::terminateRequested);
        delegate.handleLaunchOrTerminate();
        QCOMPARE(terminate.size(), 0);

        // An empty URL list changes nothing; non-file URLs are passed over.
        delegate.openUrls({});
        delegate.openUrls({QUrl(QStringLiteral("https://example.org/x.pdf"))});
        QCOMPARE(vc->fileURLs, QList<QUrl>{b});
    }

    void emptyOpenFilesEmptiesPending() {
        AppDelegate delegate;
        delegate.pendingURLs = {fileUrlFromPath("/tmp/x")};
        delegate.openFiles({});
        QVERIFY(delegate.pendingURLs.isEmpty());
        QVERIFY(!delegate.window);
        QSignalSpy terminate(&delegate, &AppDelegate::terminateRequested);
        delegate.handleLaunchOrTerminate();
        QCOMPARE(terminate.size(), 1);
    }

    void openFileAlwaysSucceeds() {
        AppDelegate delegate;
        QVERIFY(delegate.openFile("/nonexistent/file.txt"));
        QVERIFY(delegate.window);
        QCOMPARE(delegate.mainViewController->fileURLs.size(), 1);
    }

    void reminderAnswerWhileShowingOthers() {
        AppDelegate delegate;
        platform::notificationCenter().setDelegate(&delegate);
        const QUrl a = m_sandbox.writeFile(QStringLiteral("r/a.txt"), "a");
        const QUrl b = m_sandbox.writeFile(QStringLiteral("r/b.txt"), "b");
        const QUrl reminded = m_sandbox.writeFile(QStringLiteral("r/later.pdf"), "%PDF-1.4\n");
        delegate.openUrls({a, b});
        MainViewController* vc = delegate.mainViewController;
        QVERIFY(QTest::qWaitForWindowExposed(delegate.window));

        int completions = 0;
        platform::notificationCenter().deliverResponse(
            {{MainViewController::laterNotificationPathKey,
              QFile::decodeName(localPath(reminded))}},
            [&] { ++completions; });
        QCOMPARE(completions, 1);
        QCOMPARE(vc->fileURLs, QList<QUrl>{reminded});
        QCOMPARE(delegate.window->windowHandle()->title(), QStringLiteral("later.pdf"));
        QVERIFY(!vc->timerSectionStack->isVisibleTo(vc));
        QVERIFY(!vc->setDefaultButton->isVisibleTo(vc));
        QVERIFY(!vc->timer || !vc->timer->isActive());
        QVERIFY(delegate.pendingURLs.isEmpty());
        QVERIFY(!delegate.pendingSkipTimer);

        // A later open event counts down again.
        delegate.openUrls({a});
        QVERIFY(vc->timer && vc->timer->isActive());
        platform::notificationCenter().setDelegate(nullptr);
    }

    void reminderAnswersThatShowNothing() {
        AppDelegate delegate;
        int completions = 0;
        delegate.didReceiveNotificationResponse({}, [&] { ++completions; });
        QCOMPARE(completions, 1);
        delegate.didReceiveNotificationResponse({{QStringLiteral("filePath"), 42}},
                                                [&] { ++completions; });
        QCOMPARE(completions, 2);
        delegate.didReceiveNotificationResponse(
            {{QStringLiteral("filePath"), QStringLiteral("/nonexistent/deleted.pdf")}},
            [&] { ++completions; });
        QCOMPARE(completions, 3);
        QVERIFY(!delegate.window);
        QVERIFY(delegate.pendingURLs.isEmpty());
    }

    void reminderAnswerStartsTheWindowWithoutCountdown() {
        AppDelegate delegate;
        const QUrl file = m_sandbox.writeFile(QStringLiteral("r/fresh.txt"), "x");
        int completions = 0;
        delegate.didReceiveNotificationResponse(
            {{QStringLiteral("filePath"), QFile::decodeName(localPath(file))}},
            [&] { ++completions; });
        QCOMPARE(completions, 1);
        QVERIFY(delegate.mainViewController);
        QVERIFY(delegate.mainViewController->skipTimer);
        QVERIFY(!delegate.pendingSkipTimer);
        QVERIFY(delegate.pendingURLs.isEmpty());
    }

private:
    test::XdgSandbox& m_sandbox;
};

MARVOLINE_TEST_MAIN(ShellWindowTest)
#include "tst_shell_window.moc"
