// loadAppCandidates() beside the floor it stands on: GIO's own listing of the
// applications for the file's type (recommended and fallback, and the default),
// each entry's name and icon, each entry read once more by its file name.
// Both run on a generated registry of 1,000 desktop entries of which 200 open
// the file's type, or on this machine's own registry:
//   bench_candidates                 generated registry (private XDG folders)
//   bench_candidates --own-registry  the registry of the user running it
// First the first call in a fresh process (what the chooser pays; each side
// in its own child processes), then warm calls (Google Benchmark), each with
// the ratio of the chooser's listing to GIO's.
#include "main/MainViewController.h"
#include "main/Translations.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>

namespace {

constexpr char chooserSide[] = "loadAppCandidates";
constexpr char gioSide[] = "gio-listing";
constexpr int freshProcesses = 9;

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

// The floor: what GIO does to list the applications of the file with their
// names and icons, reading each entry once more by its file name.
int gioListing(const QUrl& file) {
    const QByteArray uri = file.toEncoded();
    GFile* gfile = g_file_new_for_uri(uri.constData());
    GFileInfo* info = g_file_query_info(gfile, G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE,
                                        G_FILE_QUERY_INFO_NONE, nullptr, nullptr);
    g_object_unref(gfile);
    if (!info)
        return 0;
    const char* type = g_file_info_get_content_type(info);
    GList* apps = g_app_info_get_all_for_type(type);
    GAppInfo* defaultApp = g_app_info_get_default_for_type(type, FALSE);
    int shown = 0;
    for (GList* item = apps; item; item = item->next) {
        const char* path = g_desktop_app_info_get_filename(G_DESKTOP_APP_INFO(item->data));
        GDesktopAppInfo* entry = path ? g_desktop_app_info_new_from_filename(path) : nullptr;
        if (!entry)
            continue;
        const char* name = g_app_info_get_name(G_APP_INFO(entry));
        GIcon* icon = g_app_info_get_icon(G_APP_INFO(entry));
        benchmark::DoNotOptimize(name);
        benchmark::DoNotOptimize(icon);
        g_object_unref(entry);
        ++shown;
    }
    if (defaultApp)
        g_object_unref(defaultApp);
    g_list_free_full(apps, g_object_unref);
    g_object_unref(info);
    return shown;
}

// One side's first call in this fresh process, in milliseconds, on stdout.
int firstCall(const char* side, const QUrl& file) {
    std::unique_ptr<marvoline::MainViewController> controller;
    if (std::strcmp(side, chooserSide) == 0)
        controller = std::make_unique<marvoline::MainViewController>();
    QElapsedTimer clock;
    clock.start();
    const qsizetype count =
        controller ? controller->loadAppCandidates(file).size() : gioListing(file);
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    std::printf("%.3f %lld\n", ms, static_cast<long long>(count));
    return 0;
}

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

// Medians of the first call, each side in freshProcesses processes of its own
// (taken in turns), and their ratio.
void reportFirstCalls(const QString& self, const QStringList& pass) {
    std::map<std::string, QList<double>> times;
    for (int i = 0; i < freshProcesses; ++i) {
        for (const char* side : {chooserSide, gioSide}) {
            QProcess child;
            child.start(self,
                        QStringList{QStringLiteral("--first-call"), QString::fromLatin1(side)} +
                            pass);
            child.waitForFinished(-1);
            bool ok = false;
            const double ms = child.readAllStandardOutput().split(' ').value(0).toDouble(&ok);
            if (ok)
                times[side].append(ms);
        }
    }
    const double chooser = median(times[chooserSide]);
    const double gio = median(times[gioSide]);
    std::printf("first call in a fresh process (median of %d): %s %.2f ms, %s %.2f ms, "
                "ratio %.2f\n\n",
                freshProcesses, chooserSide, chooser, gioSide, gio, gio > 0 ? chooser / gio : 0);
    std::fflush(stdout);
}

// The console report, then the ratio of the two sides' warm times (medians
// when repeated).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool aggregate = run.run_type == Run::RT_Aggregate;
            if (aggregate && run.aggregate_name != "median")
                continue;
            const std::string side =
                run.run_name.function_name.substr(0, run.run_name.function_name.find('/'));
            if (aggregate || !m_fromMedian.count(side))
                m_times[side] = run.GetAdjustedRealTime();
            if (aggregate)
                m_fromMedian[side] = true;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        if (m_times.count(chooserSide) && m_times.count(gioSide) && m_times[gioSide] > 0)
            std::printf("warm: ratio %s / %s %.2f\n", chooserSide, gioSide,
                        m_times[chooserSide] / m_times[gioSide]);
    }

private:
    std::map<std::string, double> m_times;
    std::map<std::string, bool> m_fromMedian;
};

} // namespace

int main(int argc, char** argv) {
    bool ownRegistry = false;
    const char* firstCallSide = nullptr;
    QByteArray registryRoot;
    QStringList pass; // what the fresh processes are told
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--own-registry") == 0) {
            ownRegistry = true;
            pass << QStringLiteral("--own-registry");
        } else if (std::strcmp(argv[i], "--first-call") == 0 && i + 1 < argc) {
            firstCallSide = argv[++i];
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;

    // A fresh process inherits the generated registry through the XDG variables.
    std::unique_ptr<QTemporaryDir> registry;
    if (!ownRegistry && !firstCallSide)
        registry = makeRegistry();

    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    marvoline::installTranslations(app);
    QTemporaryDir files;
    const QUrl file = textFile(files.path());
    if (firstCallSide)
        return firstCall(firstCallSide, file);

    reportFirstCalls(QCoreApplication::applicationFilePath(), pass);

    marvoline::MainViewController controller;
    const char* registryName = ownRegistry ? "/own-registry" : "/generated-1000-entries";
    benchmark::RegisterBenchmark((std::string(chooserSide) + registryName).c_str(),
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
    benchmark::RegisterBenchmark((std::string(gioSide) + registryName).c_str(),
                                 [&](benchmark::State& state) {
                                     int count = 0;
                                     for (auto _ : state) {
                                         count = gioListing(file);
                                         benchmark::DoNotOptimize(count);
                                     }
                                     state.counters["candidates"] = double(count);
                                 })
        ->Unit(benchmark::kMillisecond);

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
