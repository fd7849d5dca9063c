// Every text key resolves: English for locales that are not shipped, Japanese
// for Japanese, and never the key itself.
#include "support/TestMain.h"

#include "main/Translations.h"

#include <QFile>
#include <QTranslator>

using namespace marvoline;

namespace {

struct Row {
    QString key, english, japanese;
};

QList<Row> table() {
    QFile f(QStringLiteral(MARVOLINE_SOURCE_DIR "/i18n/strings.tsv"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<Row> rows;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QList<QByteArray> cells = line.split('\t');
        if (cells.size() == 3)
            rows.append({QString::fromUtf8(cells[0]), QString::fromUtf8(cells[1]),
                         QString::fromUtf8(cells[2])});
    }
    return rows;
}

void removeTranslators() {
    for (QTranslator* t : qApp->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(t);
        delete t;
    }
}

} // namespace

class TranslationsTest : public QObject {
    Q_OBJECT

public:
    explicit TranslationsTest(test::XdgSandbox&) {}

private Q_SLOTS:
    void init() { removeTranslators(); }
    void cleanupTestCase() {
        removeTranslators();
        QLocale::setDefault(QLocale::c());
    }

    void tableIsComplete() {
        const QList<Row> rows = table();
        QVERIFY(rows.size() >= 8);
        for (const Row& r : rows) {
            QVERIFY2(r.key.startsWith(QStringLiteral("ui.")), qPrintable(r.key));
            QVERIFY2(!r.english.isEmpty() && !r.japanese.isEmpty(), qPrintable(r.key));
        }
    }

    void unshippedLocaleFallsBackToEnglish() {
        QLocale::setDefault(QLocale(QStringLiteral("fr_FR")));
        QVERIFY(installTranslations(*qApp));
        for (const Row& r : table())
            QCOMPARE(qtTrId(r.key.toLatin1().constData()), r.english);
    }

    void japanese() {
        QLocale::setDefault(QLocale(QStringLiteral("ja_JP")));
        QVERIFY(installTranslations(*qApp));
        for (const Row& r : table())
            QCOMPARE(qtTrId(r.key.toLatin1().constData()), r.japanese);
    }
};

MARVOLINE_TEST_MAIN(TranslationsTest)
#include "tst_translations.moc"
