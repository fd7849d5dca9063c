// loadAppCandidates() on a generated registry of 1,000 desktop entries of which
// 200 open the file's type, and on this machine's own registry.
//   bench_candidates                 generated registry (private XDG folders)
//   bench_candidates --own-registry  the registry of the user running it
#include "main/MainViewController.h"
#include "main/Translations.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>

namespace {

void writeFile(const QString& path, const QByteArray& contents) {
    QDir().mkpath(path.section(QLatin1Char('/'), 0, -2));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(contents);
}

// 1,000 entries; every fifth opens text/plain, in mimeinfo.cache order.
std::unique_ptr<QTemporaryDir> makeRegistry() {
    auto dir = std::make_unique<QTemporaryDir>();
    const QString root = dir->path();
    const QString apps = root + QStringLiteral("/data/applications");
    QDir().mkpath(apps);
    QFile::link(QStringLiteral("/usr/share/mime"), root + QStringLiteral("/data/mime"));
    QByteArray cache = "[MIME Cache]\ntext/plain=";
    for (int i = 0; i < 1000; ++i) {
        const QByteArray id = "org.example.App" + QByteArray::number(i) + ".desktop";
        const bool opensText = i % 5 == 0;
        writeFile(apps + QLatin1Char('/') + QString::fromLatin1(id),
                  "[Desktop Entry]\nType=Application\nName=App " + QByteArray::number(i % 150) +
                      "\nExec=/bin/true %F\nIcon=text-editor\n" +
                      (opensText ? "MimeType=text/plain;\n" : "MimeType=image/x-example;\n"));
        if (opensText)
            cache += id + ';';
    }
    writeFile(apps + QStringLiteral("/mimeinfo.cache"), cache + '\n');
    writeFile(root + QStringLiteral("/config/mimeapps.list"),
              "[Default Applications]\ntext/plain=org.example.App500.desktop;\n");
    qputenv("XDG_DATA_DIRS", QFile::encodeName(root + QStringLiteral("/data")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(root + QStringLiteral("/data-home")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root + QStringLiteral("/config")));
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(root + QStringLiteral("/config-dirs")));
    qputenv("XDG_CURRENT_DESKTOP", "bench");
    return dir;
}

QUrl textFile(const QString& folder) {
    const QString path = folder + QStringLiteral("/sample.txt");
    writeFile(path, "hello\n");
    return QUrl::fromLocalFile(path);
}

} // namespace

int main(int argc, char** argv) {
    bool ownRegistry = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--own-registry") == 0) {
            ownRegistry = true;
            for (int j = i; j + 1 < argc; ++j)
                argv[j] = argv[j + 1];
            --argc;
            break;
        }
    }
    std::unique_ptr<QTemporaryDir> registry;
    if (!ownRegistry)
        registry = makeRegistry();

    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    marvoline::installTranslations(app);
    QTemporaryDir files;
    const QUrl file = textFile(files.path());
    marvoline::MainViewController controller;

    benchmark::RegisterBenchmark(ownRegistry ? "loadAppCandidates/own-registry"
                                             : "loadAppCandidates/generated-1000-entries",
                                 [&](benchmark::State& state) {
                                     qsizetype count = 0;
                                     for (auto _ : state) {
                                         const auto list = controller.loadAppCandidates(file);
                                         count = list.size();
                                         benchmark::DoNotOptimize(count);
                                     }
                                     state.counters["candidates"] = double(count);
                                 })
        ->Unit(benchmark::kMillisecond);

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
