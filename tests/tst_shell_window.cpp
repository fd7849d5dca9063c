// The application shell: window title, whether the program is the default of
// the file, creating the one window, open events and reminder answers.
#include "support/TestMain.h"

#include "main/AppDelegate.h"
#include "main/MainViewController.h"
#include "platform/AppRegistry.h"
#include "platform/FilePaths.h"
#include "platform/Platform.h"
#include "platform/StartupWarmUp.h"
#include "support/RawFiles.h"
#include "views/SymbolIcons.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTimer>
#include <QWindow>

#include <future>
#include <memory>
#include <thread>

using namespace marvoline;
using namespace Qt::StringLiterals;

class TestShellWindow final : public QObject {
    Q_OBJECT

public:
    explicit TestShellWindow(test::XdgSandbox& sandbox)
        : m_sandbox(sandbox) {
        const QString reader = u"org.example.Reader.desktop"_s;
        m_sandbox.addApp(reader, u"Reader"_s, {u"application/pdf"_s, u"text/plain"_s});
        // The program itself handles CSV files.
        m_sandbox.addApp(AppRegistry::ownIdentifier(), u"Marvoline"_s, {u"text/csv"_s});
        m_sandbox.writeMimeinfoCache({{u"application/pdf"_s, {reader}},
                                      {u"text/plain"_s, {reader}},
                                      {u"text/csv"_s, {AppRegistry::ownIdentifier()}}});
        m_sandbox.writeDefaults(
            {{u"application/pdf"_s, reader}, {u"text/csv"_s, AppRegistry::ownIdentifier()}});
    }

private:
    test::XdgSandbox& m_sandbox;

    // Answers a reminder for the path; true when its completion ran exactly once.
    static bool answer(AppDelegate& delegate, const QVariant& path) {
        int completions = 0;
        const QVariantMap userInfo{{MainViewController::laterNotificationPathKey, path}};
        delegate.didReceiveNotificationResponse(path.isNull() ? QVariantMap() : userInfo, {},
                                                [&] { ++completions; });
        return completions == 1;
    }

private Q_SLOTS:
    // The program's start hands the warm-up thread the application object, or
    // leaves before it exists: in every order the thread ends, and text
    // measured and applications looked up meanwhile come out as without it.
    void startupWarmUpEndsInEveryOrder_data() {
        QTest::addColumn<bool>("ready");
        QTest::addColumn<bool>("finish");
        QTest::newRow("ready, then finished") << true << true;
        QTest::newRow("ready, then destroyed") << true << false;
        QTest::newRow("finished before any application object") << false << true;
        QTest::newRow("destroyed before any application object") << false << false;
    }
    void startupWarmUpEndsInEveryOrder() {
        QFETCH(bool, ready);
        QFETCH(bool, finish);
        const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        const QString sample = u"Quarterly report, 2026"_s;
        const int expectedWidth = QFontMetrics(fixed).horizontalAdvance(sample);
        // Ended on a thread of the test's, left behind if it never ends, so that
        // such a thread fails the case instead of hanging the test.
        auto measured = std::make_shared<std::promise<int>>();
        std::future<int> width = measured->get_future();
        std::thread([measured, fixed, sample, ready, finish] {
            int w = 0;
            {
                StartupWarmUp warmUp;
                if (ready)
                    warmUp.applicationReady();
                w = QFontMetrics(fixed).horizontalAdvance(sample);
                if (finish)
                    warmUp.finish();
            }
            measured->set_value(w);
        }).detach();
        AppRegistry& registry = platform::registry();
        const QUrl pdf = m_sandbox.writeFile(u"warm-up.pdf"_s, "%PDF-1.4\n%%EOF\n");
        const QUrl reader = m_sandbox.appUrl(u"org.example.Reader.desktop"_s);
        QCOMPARE(registry.defaultApplicationForFile(pdf), std::optional(reader));
        QCOMPARE(registry.applicationsForFile(pdf), QList<QUrl>{reader});
        QCOMPARE(width.wait_for(std::chrono::seconds(20)), std::future_status::ready);
        QCOMPARE(width.get(), expectedWidth);
        QVERIFY(!QFontDatabase::families().isEmpty());
    }

    // The application object's arrival returns only once the font configuration
    // is read: fontconfig reads all of it again for a thread asking meanwhile.
    void startupWarmUpReadyWaitsForTheFontConfiguration() {
        auto gate = std::make_shared<std::promise<void>>();
        auto warmUp =
            std::make_shared<StartupWarmUp>([read = gate->get_future().share()] { read.wait(); });
        // Opened however the case ends, before the warm-up is joined.
        auto openGate = qScopeGuard([gate] { gate->set_value(); });
        auto returned = std::make_shared<std::promise<void>>();
        std::future<void> ready = returned->get_future();
        std::thread([warmUp, returned] {
            warmUp->applicationReady();
            returned->set_value();
        }).detach();
        QCOMPARE(ready.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout);
        openGate.dismiss();
        gate->set_value();
        QCOMPARE(ready.wait_for(std::chrono::seconds(20)), std::future_status::ready);
        warmUp->finish();
    }

    void title_data() {
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::addColumn<QString>("expected");
        const auto url = [](const QByteArray& p) { return fileUrlFromPath(p); };
        // One file and two files: showWindowOnceAndReuse.
        QTest::newRow("folder") << QList<QUrl>{url("/home/u/Pictures/")} << u"Pictures"_s;
        QTest::newRow("root") << QList<QUrl>{url("/")} << u"/"_s;
        QTest::newRow("none") << QList<QUrl>{} << QString();
    }
    void title() {
        QFETCH(QList<QUrl>, urls);
        QFETCH(QString, expected);
        QCOMPARE(AppDelegate::windowTitle(urls), expected);
    }

    void isOpenAsContextBothWays() {
        const auto context = [this](const char* name, const QByteArray& text) {
            return AppDelegate::computeIsOpenAsContext(
                m_sandbox.writeFile(QString::fromLatin1(name), text));
        };
        QVERIFY(context("doc.pdf", "%PDF-1.4\n%%EOF\n")); // another default
        QVERIFY(!context("table.csv", "a,b\n1,2\n"));     // the program is the default
        QVERIFY(context("plain.txt", "hello\n"));         // no explicit default: the reader
        QVERIFY(AppDelegate::computeIsOpenAsContext(fileUrlFromPath("/nonexistent/x.pdf")));
    }

    void programIconFromThemeElseBundled() {
        // A theme with the program's icon (red), then one without it.
        test::RawFiles raw;
        const QString icons = m_sandbox.root() + u"/icons"_s;
        for (const QString& theme : {u"with"_s, u"without"_s})
            raw.write(icons + u'/' + theme + u"/index.theme"_s,
                      "[Icon Theme]\nName=T\nDirectories=apps\n\n"
                      "[apps]\nSize=48\nType=Scalable\nMinSize=8\nMaxSize=512\n");
        raw.write(icons + u"/with/apps/org.marvoline.Marvoline.svg"_s,
                  "<svg xmlns='http://www.w3.org/2000/svg' width='48' height='48'>"
                  "<rect width='48' height='48' fill='#ff0000'/></svg>");
        const QStringList paths = QIcon::themeSearchPaths();
        const QString name = QIcon::themeName();
        QIcon::setThemeSearchPaths({icons});
        const auto centre = [](const QIcon& icon) {
            return icon.pixmap(QSize(32, 32), 1.0).toImage().pixelColor(16, 16);
        };

        QIcon::setThemeName(u"with"_s);
        QCOMPARE(programIcon().name(), u"org.marvoline.Marvoline"_s);
        QCOMPARE(centre(programIcon()), QColor(Qt::red));

        QIcon::setThemeName(u"without"_s);
        const QIcon bundled = programIcon();
        QVERIFY(bundled.name().isEmpty());
        QVERIFY(!bundled.isNull());
        QVERIFY(centre(bundled).isValid() && centre(bundled) != QColor(Qt::red));
        // The sizes the title bar takes, in either order, are the pictures Qt's own
        // SVG icons draw of the file.
        const QIcon qtDrawn(u":/icon/org.marvoline.Marvoline.svg"_s);
        const QIcon otherOrder = programIcon();
        const auto image = [](const QIcon& icon, int side) {
            return icon.pixmap(QSize(side, side), 1.0)
                .toImage()
                .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        };
        for (const int side : {16, 32, 64, 128})
            QCOMPARE(image(bundled, side), image(qtDrawn, side));
        for (const int side : {128, 64, 32, 16})
            QCOMPARE(image(otherOrder, side), image(qtDrawn, side));

        QIcon::setThemeSearchPaths(paths);
        QIcon::setThemeName(name);
    }

    void showWindowOnceAndReuse() {
        AppDelegate delegate;
        QSignalSpy terminate(&delegate, &AppDelegate::terminateRequested);
        delegate.showWindow(); // nothing pending: nothing happens
        QVERIFY(!delegate.window);
        delegate.pendingURLs = {fileUrlFromPath("/tmp/x")};
        delegate.openFiles({}); // empties what was pending: the launch check ends the program
        delegate.handleLaunchOrTerminate();
        QCOMPARE(terminate.size(), 1);

        const QUrl a = m_sandbox.writeFile(u"w/a.txt"_s, "a");
        const QUrl b = m_sandbox.writeFile(u"w/b[*].txt"_s, "b");
        delegate.openUrls({a, b});
        QWidget* window = delegate.window;
        MainViewController* vc = delegate.mainViewController;
        QVERIFY(window && vc && delegate.pendingURLs.isEmpty());
        QCOMPARE(vc->fileURLs, (QList<QUrl>{a, b}));
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QCOMPARE(window->windowHandle()->title(), u"a.txt (2件)"_s);
        // The title bar's icon follows the first frame.
        QTRY_VERIFY(!window->windowIcon().pixmap(32).isNull());
        // Never narrower than the options row needs.
        QCOMPARE(window->minimumWidth(), std::max(520, vc->optionsStack->sizeHint().width() + 24));
        QVERIFY(vc->timer && vc->timer->isActive());

        // The same window shows the next files; a name with Qt's title placeholder keeps it.
        delegate.openUrls({b});
        QCOMPARE(window->windowHandle()->title(), u"b[*].txt"_s);
        QCOMPARE(delegate.window.data(), window);
        // An empty URL list changes nothing; non-file URLs are passed over.
        delegate.openUrls({});
        delegate.openUrls({QUrl(u"https://example.org/x.pdf"_s)});
        QCOMPARE(vc->fileURLs, QList<QUrl>{b});
        // The launch check that follows finds the window and does nothing.
        delegate.handleLaunchOrTerminate();
        QCOMPARE(terminate.size(), 1);
        // A file event always succeeds, whether or not the file exists.
        QVERIFY(delegate.openFile("/nonexistent/file.txt"));
        QCOMPARE(vc->fileURLs, QList<QUrl>{fileUrlFromPath("/nonexistent/file.txt")});
    }

    void reminderAnswers() {
        AppDelegate delegate;
        // Answers that show nothing; a NUL byte would end the path for the system at a file
        // that exists, while the title would show the rest.
        const QByteArray cut = localPath(m_sandbox.writeFile(u"r/cut"_s, "x")) + '\0' + "/rest.pdf";
        for (const QVariant& path : {QVariant(), QVariant(42), QVariant(u"/nonexistent/x.pdf"_s),
                                     QVariant(cut), QVariant(QString::fromUtf8(cut))})
            QVERIFY(answer(delegate, path));
        QVERIFY(!delegate.window && delegate.pendingURLs.isEmpty());

        // One that starts the window shows its file without a countdown.
        const QUrl first = m_sandbox.writeFile(u"r/first.txt"_s, "x");
        QVERIFY(answer(delegate, QFile::decodeName(localPath(first))));
        MainViewController* vc = delegate.mainViewController;
        QVERIFY(vc && vc->skipTimer);

        // While others are on show, it replaces them and stops their countdown;
        // a minimized chooser comes back and is made the active window.
        const QUrl a = m_sandbox.writeFile(u"r/a.txt"_s, "a");
        const QUrl reminded = m_sandbox.writeFile(u"r/later.pdf"_s, "%PDF-1.4\n");
        delegate.openUrls({a});
        QVERIFY(vc->timer && vc->timer->isActive());
        QWidget* window = delegate.window;
        window->showMinimized();
        QTRY_VERIFY(window->isMinimized());
        QVERIFY(answer(delegate, QFile::decodeName(localPath(reminded))));
        QCOMPARE(vc->fileURLs, QList<QUrl>{reminded});
        QVERIFY(!vc->timer || !vc->timer->isActive());
        QVERIFY(!window->isMinimized());
        QTRY_VERIFY(window->isActiveWindow());

        // A later open event counts down again.
        delegate.openUrls({a});
        QVERIFY(vc->timer && vc->timer->isActive());
    }
};

MARVOLINE_TEST_MAIN(TestShellWindow)
#include "tst_shell_window.moc"
