#include "support/TestMain.h"

#include "main/CommandLineIntake.h"
#include "platform/FilePaths.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include <pwd.h>
#include <unistd.h>

using namespace marvoline;

namespace {

const QByteArray fakeHome = "/home/u";

QList<QByteArray> pathsOf(const QList<QUrl>& urls) {
    QList<QByteArray> paths;
    for (const QUrl& url : urls)
        paths.append(localPath(url));
    return paths;
}

std::optional<QByteArray> fakeUserHome(const QByteArray& name) {
    if (name == "alice")
        return QByteArray("/srv/alice");
    if (name == "relative")
        return QByteArray("not/absolute");
    return std::nullopt;
}

} // namespace

class TestIntake : public QObject {
    Q_OBJECT

public:
    explicit TestIntake(test::XdgSandbox& sandbox)
        : m_sandbox(sandbox) {}

private Q_SLOTS:
    void keptArguments_data();
    void keptArguments();
    void tildeExpansion_data();
    void tildeExpansion();
    void realFileSystemKeepsBytes();
    void realFileSystemTildeUsesHome();
    void realPasswordDatabase();

private:
    test::XdgSandbox& m_sandbox;
};

void TestIntake::keptArguments_data() {
    QTest::addColumn<QList<QByteArray>>("arguments");
    QTest::addColumn<QList<QByteArray>>("existing");
    QTest::addColumn<QList<QByteArray>>("expected");

    QTest::newRow("absolute") << QList<QByteArray>{"/tmp/a.txt"} << QList<QByteArray>{"/tmp/a.txt"}
                              << QList<QByteArray>{"/tmp/a.txt"};
    QTest::newRow("folder with trailing slash")
        << QList<QByteArray>{"/tmp/dir/"} << QList<QByteArray>{"/tmp/dir/"}
        << QList<QByteArray>{"/tmp/dir/"};
    QTest::newRow("tilde file") << QList<QByteArray>{"~/doc.pdf"}
                                << QList<QByteArray>{"/home/u/doc.pdf"}
                                << QList<QByteArray>{"/home/u/doc.pdf"};
    QTest::newRow("tilde alone") << QList<QByteArray>{"~"} << QList<QByteArray>{"/home/u"}
                                 << QList<QByteArray>{"/home/u"};
    QTest::newRow("relative dropped, absolute kept, option dropped")
        << QList<QByteArray>{"/tmp/a.txt", "a.txt", "-v"}
        << QList<QByteArray>{"/tmp/a.txt", "a.txt", "-v"} << QList<QByteArray>{"/tmp/a.txt"};
    QTest::newRow("dot relative") << QList<QByteArray>{"./a.txt", "../a.txt"}
                                  << QList<QByteArray>{"./a.txt", "../a.txt"}
                                  << QList<QByteArray>{};
    QTest::newRow("options") << QList<QByteArray>{"--", "--help", "-/tmp/a.txt"}
                             << QList<QByteArray>{"--", "--help", "-/tmp/a.txt", "/tmp/a.txt"}
                             << QList<QByteArray>{};
    QTest::newRow("missing dropped")
        << QList<QByteArray>{"/tmp/missing", "/tmp/here", "~/missing"}
        << QList<QByteArray>{"/tmp/here"} << QList<QByteArray>{"/tmp/here"};
    QTest::newRow("empty argument")
        << QList<QByteArray>{""} << QList<QByteArray>{""} << QList<QByteArray>{};
    QTest::newRow("spaces") << QList<QByteArray>{"/tmp/my file .txt"}
                            << QList<QByteArray>{"/tmp/my file .txt"}
                            << QList<QByteArray>{"/tmp/my file .txt"};
    QTest::newRow("newline") << QList<QByteArray>{"/tmp/two\nlines"}
                             << QList<QByteArray>{"/tmp/two\nlines"}
                             << QList<QByteArray>{"/tmp/two\nlines"};
    QTest::newRow("not utf-8") << QList<QByteArray>{"/tmp/caf\xe9.txt"}
                               << QList<QByteArray>{"/tmp/caf\xe9.txt"}
                               << QList<QByteArray>{"/tmp/caf\xe9.txt"};
    QTest::newRow("url-like characters")
        << QList<QByteArray>{"/tmp/a%20b#c?d.txt"} << QList<QByteArray>{"/tmp/a%20b#c?d.txt"}
        << QList<QByteArray>{"/tmp/a%20b#c?d.txt"};
    QTest::newRow("order kept") << QList<QByteArray>{"/z", "~/m", "/a", "/z"}
                                << QList<QByteArray>{"/a", "/z", "/home/u/m"}
                                << QList<QByteArray>{"/z", "/home/u/m", "/a", "/z"};
    QTest::newRow("all dropped") << QList<QByteArray>{"x", "-x", "/missing"}
                                 << QList<QByteArray>{"x", "-x"} << QList<QByteArray>{};
    QTest::newRow("no arguments") << QList<QByteArray>{} << QList<QByteArray>{"/"}
                                  << QList<QByteArray>{};
}

void TestIntake::keptArguments() {
    QFETCH(QList<QByteArray>, arguments);
    QFETCH(QList<QByteArray>, existing);
    QFETCH(QList<QByteArray>, expected);

    const QSet<QByteArray> present(existing.begin(), existing.end());
    QList<QByteArray> asked;
    const QList<QUrl> kept = keptCommandLineFiles(arguments, fakeHome, [&](const QByteArray& path) {
        asked.append(path);
        return present.contains(path);
    });

    for (const QUrl& url : kept) {
        QVERIFY2(url.isLocalFile(), url.toEncoded().constData());
        // The URL survives its own text form unchanged.
        QCOMPARE(QUrl::fromEncoded(url.toEncoded()), url);
    }
    QCOMPARE(pathsOf(kept), expected);
    // Only expanded absolute paths are ever looked up.
    for (const QByteArray& path : asked)
        QVERIFY2(path.startsWith('/'), path.constData());
}

void TestIntake::tildeExpansion_data() {
    QTest::addColumn<QByteArray>("argument");
    QTest::addColumn<QByteArray>("home");
    QTest::addColumn<QByteArray>("expected"); // empty: not taken

    QTest::newRow("tilde") << QByteArray("~") << QByteArray("/home/u") << QByteArray("/home/u");
    QTest::newRow("tilde slash") << QByteArray("~/") << QByteArray("/home/u")
                                 << QByteArray("/home/u/");
    QTest::newRow("below home") << QByteArray("~/a/b") << QByteArray("/home/u")
                                << QByteArray("/home/u/a/b");
    QTest::newRow("home with trailing slash")
        << QByteArray("~/a") << QByteArray("/home/u/") << QByteArray("/home/u/a");
    QTest::newRow("home is root") << QByteArray("~/a") << QByteArray("/") << QByteArray("/a");
    QTest::newRow("home is root, tilde alone")
        << QByteArray("~") << QByteArray("/") << QByteArray("/");
    QTest::newRow("no home") << QByteArray("~/a") << QByteArray() << QByteArray();
    QTest::newRow("relative home") << QByteArray("~/a") << QByteArray("home") << QByteArray();
    QTest::newRow("named user") << QByteArray("~alice/x") << QByteArray("/home/u")
                                << QByteArray("/srv/alice/x");
    QTest::newRow("named user alone")
        << QByteArray("~alice") << QByteArray("/home/u") << QByteArray("/srv/alice");
    QTest::newRow("unknown user") << QByteArray("~nobody-here/x") << QByteArray("/home/u")
                                  << QByteArray();
    QTest::newRow("user with relative home")
        << QByteArray("~relative/x") << QByteArray("/home/u") << QByteArray();
    QTest::newRow("tilde inside") << QByteArray("/a/~/b") << QByteArray("/home/u")
                                  << QByteArray("/a/~/b");
    QTest::newRow("relative with tilde later")
        << QByteArray("a/~") << QByteArray("/home/u") << QByteArray();
}

void TestIntake::tildeExpansion() {
    QFETCH(QByteArray, argument);
    QFETCH(QByteArray, home);
    QFETCH(QByteArray, expected);

    const std::optional<QByteArray> path = expandedCommandLinePath(argument, home, fakeUserHome);
    QCOMPARE(path.value_or(QByteArray()), expected);

    // Without a user lookup only the current user's home is known.
    const bool namedUser = argument.size() > 1 && argument.startsWith('~') && argument[1] != '/';
    const std::optional<QByteArray> withoutLookup = expandedCommandLinePath(argument, home);
    QCOMPARE(withoutLookup.value_or(QByteArray()), namedUser ? QByteArray() : expected);
}

void TestIntake::realFileSystemKeepsBytes() {
    const QByteArray dir = QFile::encodeName(m_sandbox.root()) + "/files/intake";
    QVERIFY(QDir().mkpath(QFile::decodeName(dir)));
    const QList<QByteArray> names = {"plain.txt", "with space.txt", "new\nline.txt", "caf\xe9.txt",
                                     "folder"};
    QList<QByteArray> paths;
    for (const QByteArray& name : names) {
        const QByteArray path = dir + '/' + name;
        paths.append(path);
        if (name == "folder") {
            QVERIFY(QDir().mkpath(QFile::decodeName(path)));
            continue;
        }
        // QFile goes through a lossy decoding for non-UTF-8 names; write with
        // the bytes themselves.
        FILE* f = ::fopen(path.constData(), "w");
        QVERIFY(f);
        ::fputs("x", f);
        ::fclose(f);
    }
    const QByteArray dangling = dir + "/dangling";
    QCOMPARE(::symlink(QByteArray(dir + "/nowhere").constData(), dangling.constData()), 0);

    QList<QByteArray> arguments = paths;
    arguments.insert(2, dir + "/missing.txt");
    arguments.insert(1, dangling);
    arguments.append("plain.txt");

    const QList<QUrl> kept = keptCommandLineFiles(arguments);
    QCOMPARE(pathsOf(kept), paths);
    QCOMPARE(localPath(kept.at(3)), dir + "/caf\xe9.txt");
    QVERIFY(fileExists(kept.at(3)));

    // The temporary folder's clean-up cannot name this file; remove it here.
    QCOMPARE(::unlink(QByteArray(dir + "/caf\xe9.txt").constData()), 0);
}

void TestIntake::realFileSystemTildeUsesHome() {
    // The sandbox's HOME is the home folder.
    const QByteArray home = QFile::encodeName(m_sandbox.home());
    QCOMPARE(homePath(), home);
    QVERIFY(QDir().mkpath(m_sandbox.home() + QStringLiteral("/Documents")));
    QFile file(m_sandbox.home() + QStringLiteral("/Documents/notes.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    const QList<QUrl> kept =
        keptCommandLineFiles({"~/Documents/notes.txt", "~/Documents/none.txt", "~"});
    QCOMPARE(pathsOf(kept), (QList<QByteArray>{home + "/Documents/notes.txt", home}));
    QCOMPARE(kept.first(), fileUrlFromPath(home + "/Documents/notes.txt"));
}

void TestIntake::realPasswordDatabase() {
    const passwd* me = ::getpwuid(::getuid());
    if (!me || !me->pw_name || !me->pw_dir || me->pw_dir[0] != '/')
        QSKIP("the current user has no entry with a home folder in the password database");
    const QByteArray name(me->pw_name);
    QCOMPARE(passwordDatabaseHome(name).value_or(QByteArray()), QByteArray(me->pw_dir));
    QVERIFY(!passwordDatabaseHome("no-such-user-marvoline").has_value());

    // "~name" names the password database's home, not $HOME (the sandbox's).
    const QByteArray argument = '~' + name;
    const QList<QUrl> kept = keptCommandLineFiles({argument});
    if (pathExists(me->pw_dir))
        QCOMPARE(pathsOf(kept), QList<QByteArray>{QByteArray(me->pw_dir)});
    else
        QVERIFY(kept.isEmpty());
}

MARVOLINE_TEST_MAIN(TestIntake)
#include "tst_intake.moc"
