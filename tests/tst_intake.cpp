// Which command-line arguments become files: rules over bytes, then the real file system.

#include "support/RawFiles.h"
#include "support/TestMain.h"

#include "main/CommandLineIntake.h"
#include "platform/FilePaths.h"

#include <QScopeGuard>

#include <pwd.h>

using namespace marvoline;
using namespace Qt::StringLiterals;

using Bytes = QList<QByteArray>;

namespace {

Bytes pathsOf(const QList<QUrl>& urls) {
    Bytes paths;
    for (const QUrl& url : urls)
        paths.append(localPath(url));
    return paths;
}

std::optional<QByteArray> fakeUserHome(const QByteArray& name) {
    if (name == "alice")
        return "/srv/alice"_ba;
    if (name == "relative")
        return "not/absolute"_ba;
    return std::nullopt;
}

} // namespace

class TestIntake final : public QObject {
    Q_OBJECT

public:
    explicit TestIntake(test::XdgSandbox& sandbox)
        : sb(sandbox) {}

private:
    test::XdgSandbox& sb;

private Q_SLOTS:
    void keptArguments_data() {
        QTest::addColumn<Bytes>("arguments"); // every path exists unless it names "missing"
        QTest::addColumn<Bytes>("kept");      // the working directory is /w
        QTest::newRow("relative") << Bytes{"a.txt", "./a.txt", "../a.txt", "a/~", ".", "a:b"}
                                  << Bytes{"/w/a.txt", "/w/a.txt", "/w/../a.txt",
                                           "/w/a/~",   "/w",       "/w/a:b"};
        QTest::newRow("file URIs")
            << Bytes{"file:///tmp/a%20b.txt", "file://localhost/tmp/x", "FILE:///tmp/up",
                     "file:///tmp/caf%E9.txt"}
            << Bytes{"/tmp/a b.txt", "/tmp/x", "/tmp/up", "/tmp/caf\xe9.txt"};
        QTest::newRow("file URIs not of this host")
            << Bytes{"file://elsewhere/tmp/a", "file:relative", "file://"} << Bytes{};
        QTest::newRow("hyphen") << Bytes{"-v", "--", "--help", "-/tmp/a.txt", ""} << Bytes{};
        QTest::newRow("missing") << Bytes{"/tmp/missing", "/tmp/here", "~/missing", "missing"}
                                 << Bytes{"/tmp/here"};
        QTest::newRow("unusual bytes")
            << Bytes{"/tmp/my file .txt", "/tmp/two\nlines", "/tmp/a%20b#c?d.txt", "caf\xe9"}
            << Bytes{"/tmp/my file .txt", "/tmp/two\nlines", "/tmp/a%20b#c?d.txt", "/w/caf\xe9"};
        QTest::newRow("order and repeats kept")
            << Bytes{"/z/", "~/m", "x", "/a", "/z/", "~"}
            << Bytes{"/z/", "/home/u/m", "/w/x", "/a", "/z/", "/home/u"};
    }

    void keptArguments() {
        QFETCH(Bytes, arguments);
        QFETCH(Bytes, kept);
        Bytes asked;
        const auto exists = [&](const QByteArray& path) {
            asked.append(path);
            return !path.contains("missing");
        };
        const QList<QUrl> urls = keptCommandLineFiles(arguments, "/home/u", exists, {}, "/w/");
        QCOMPARE(pathsOf(urls), kept);
        for (const QUrl& url : urls) // the URL survives its own text form
            QCOMPARE(QUrl::fromEncoded(url.toEncoded()), url);
        for (const QByteArray& path : asked) // only expanded absolute paths are looked up
            QVERIFY2(path.startsWith('/'), path.constData());
        // The user hears of a command line that named nothing, and only then.
        const QString message = ignoredArgumentsMessage(arguments, urls);
        QCOMPARE(message.isEmpty(), !urls.isEmpty());
        if (!message.isEmpty())
            QVERIFY(message.contains(u'"' + QString::fromLocal8Bit(arguments.first()) + u'"'));
    }

    void tildeExpansion_data() {
        QTest::addColumn<Bytes>("c"); // argument, home, expanded path (empty: not taken)
        QTest::newRow("below home") << Bytes{"~/a/b", "/home/u", "/home/u/a/b"};
        QTest::newRow("home with slash") << Bytes{"~/a", "/home/u/", "/home/u/a"};
        QTest::newRow("home is root") << Bytes{"~/a", "/", "/a"};
        QTest::newRow("no home") << Bytes{"~/a", "", ""};
        QTest::newRow("relative home") << Bytes{"~/a", "home", ""};
        QTest::newRow("named user") << Bytes{"~alice/x", "/home/u", "/srv/alice/x"};
        QTest::newRow("unknown user") << Bytes{"~nobody-here/x", "/home/u", ""};
        QTest::newRow("user with relative home") << Bytes{"~relative/x", "/home/u", ""};
        QTest::newRow("tilde inside") << Bytes{"/a/~/b", "/home/u", "/a/~/b"};
    }

    void tildeExpansion() {
        QFETCH(Bytes, c);
        QCOMPARE(expandedCommandLinePath(c[0], c[1], fakeUserHome).value_or(""), c[2]);
        // Without a user lookup only the current user's home is known.
        const bool namedUser = c[0].startsWith('~') && c[0].size() > 1 && c[0][1] != '/';
        QCOMPARE(expandedCommandLinePath(c[0], c[1]).value_or(""), namedUser ? ""_ba : c[2]);
    }

    void realFileSystem() {
        test::RawFiles raw;
        const QByteArray dir = QFile::encodeName(sb.root()) + "/files/intake/";
        const Bytes paths{dir + "plain.txt", dir + "caf\xe9.txt", dir + "folder"};
        QVERIFY(raw.write(paths[0]) && raw.write(paths[1]));
        QVERIFY(QDir().mkpath(QFile::decodeName(paths[2])));
        // A dangling link names nothing: it goes, as a missing file does.
        const QByteArray dangling = dir + "dangling", nowhere = dir + "nowhere";
        QCOMPARE(::symlink(nowhere.constData(), dangling.constData()), 0);
        const QList<QUrl> urls = keptCommandLineFiles(
            {paths[0], dangling, dir + "missing", paths[1], paths[2], "plain.txt"});
        QCOMPARE(pathsOf(urls), paths);
        QVERIFY(fileExists(urls.value(1)));
        // Relative to the working directory, and as file URIs.
        const QString previous = QDir::currentPath();
        const auto back = qScopeGuard([&] { QDir::setCurrent(previous); });
        QVERIFY(QDir::setCurrent(QFile::decodeName(dir + "folder")));
        QCOMPARE(workingDirectoryPath(), dir + "folder");
        QCOMPARE(pathsOf(keptCommandLineFiles(
                     {"../plain.txt", "missing", ".",
                      QUrl::fromLocalFile(sb.root()).toEncoded() + "/files/intake/caf%E9.txt"})),
                 (Bytes{dir + "folder/../plain.txt", dir + "folder", paths[1]}));

        // "~" is $HOME, the sandbox's; "~name" is the password database's home.
        const QByteArray home = QFile::encodeName(sb.home());
        QCOMPARE(homePath(), home);
        QVERIFY(QDir().mkpath(sb.home() + "/Documents"));
        QCOMPARE(pathsOf(keptCommandLineFiles({"~/Documents", "~/none", "~"})),
                 (Bytes{home + "/Documents", home}));
        const passwd* me = ::getpwuid(::getuid());
        if (!me || !me->pw_name || !me->pw_dir || me->pw_dir[0] != '/')
            QSKIP("the current user has no home folder in the password database");
        QCOMPARE(passwordDatabaseHome(me->pw_name).value_or(""), QByteArray(me->pw_dir));
        QVERIFY(!passwordDatabaseHome("no-such-user-marvoline"));
        QCOMPARE(pathsOf(keptCommandLineFiles({'~' + QByteArray(me->pw_name)})),
                 pathExists(me->pw_dir) ? Bytes{me->pw_dir} : Bytes{});
    }
};

MARVOLINE_TEST_MAIN(TestIntake)
#include "tst_intake.moc"
