// Every text key resolves: English for locales that are not shipped, Japanese
// for Japanese, and never the key itself; a text with a count in the form
// for the count.
#include "support/TestMain.h"

#include "main/Translations.h"

#include <QFile>

using namespace marvoline;
using namespace Qt::StringLiterals;

class TestTranslations final : public QObject {
    Q_OBJECT

public:
    explicit TestTranslations(test::XdgSandbox&) {}

private Q_SLOTS:
    void cleanupTestCase() { QLocale::setDefault(QLocale::c()); }

    void everyKeyResolves_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("column"); // of i18n/strings.tsv: key, English, Japanese
        QTest::newRow("not shipped: English") << u"fr_FR"_s << 1;
        QTest::newRow("Japanese") << u"ja_JP"_s << 2;
    }
    void everyKeyResolves() {
        QFETCH(QString, locale);
        QFETCH(int, column);
        // Installed last, the locale's translations are the ones asked first.
        QLocale::setDefault(QLocale(locale));
        QVERIFY(installTranslations(*qApp));
        QFile table(QStringLiteral(MARVOLINE_SOURCE_DIR "/i18n/strings.tsv"));
        QVERIFY(table.open(QIODevice::ReadOnly));
        int keys = 0;
        for (const QByteArray& line : table.readAll().split('\n')) {
            const QList<QByteArray> cells = line.split('\t');
            if (cells.size() != 3)
                continue;
            ++keys;
            QVERIFY2(cells[0].startsWith("ui.") && !cells[column].isEmpty(), cells[0].constData());
            const QStringList forms = QString::fromUtf8(cells[column]).split(u" | "_s);
            if (cells[1].contains(" | ")) {
                // A count: one form, then another for more (English); one for all (Japanese).
                for (int n : {1, 2, 11}) {
                    const QString form = forms.at(std::min<qsizetype>(n > 1, forms.size() - 1));
                    QCOMPARE(qtTrId(cells[0].constData(), n),
                             QString(form).replace(u"%n"_s, QString::number(n)));
                }
                continue;
            }
            QCOMPARE(qtTrId(cells[0].constData()), forms.first());
        }
        QVERIFY(keys >= 8);
    }
};

MARVOLINE_TEST_MAIN(TestTranslations)
#include "tst_translations.moc"
