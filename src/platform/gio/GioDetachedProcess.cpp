#include "platform/DetachedProcess.h"

#include "platform/gio/GObjectPtr.h"

#include <QFile>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <glib.h>

#include <vector>

namespace marvoline {

namespace {

using GErrorPtr = gio::Owned<GError, g_error_free>;

// argv for GLib: the program, the arguments, a null pointer. The words are
// kept by the caller (argv needs writable strings).
std::vector<char*> argvOf(QByteArray& file, QList<QByteArray>& words) {
    std::vector<char*> argv;
    argv.reserve(std::size_t(words.size()) + 2);
    argv.push_back(file.data());
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    return argv;
}

// What the child watch needs once the program has ended.
struct Watch {
    QPointer<QObject> context;
    ProcessEnded done;
};

void childEnded(GPid pid, gint status, gpointer data) {
    const std::unique_ptr<Watch> watch(static_cast<Watch*>(data));
    g_spawn_close_pid(pid);
    GErrorPtr error;
    const bool ok = g_spawn_check_wait_status(status, gio::OutParam(error));
    if (watch->context)
        watch->done(ok ? QString() : QString::fromUtf8(error ? error->message : ""));
}

} // namespace

bool startDetachedProcess(const QString& program, const QList<QByteArray>& arguments,
                          QString* error) {
    QByteArray file = QFile::encodeName(program);
    QList<QByteArray> words = arguments;
    std::vector<char*> argv = argvOf(file, words);
    // Without G_SPAWN_DO_NOT_REAP_CHILD GLib reaps the child itself: it
    // outlives this process without leaving a zombie behind.
    GErrorPtr spawnError;
    if (g_spawn_async(nullptr, argv.data(), nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, nullptr,
                      gio::OutParam(spawnError)))
        return true;
    if (error)
        *error = QString::fromUtf8(spawnError ? spawnError->message : "");
    return false;
}

void startWatchedProcess(const QString& program, const QList<QByteArray>& arguments,
                         QObject* context, ProcessEnded done) {
    QByteArray file = QFile::encodeName(program);
    QList<QByteArray> words = arguments;
    std::vector<char*> argv = argvOf(file, words);
    GPid pid = 0;
    GErrorPtr spawnError;
    // Standard input from /dev/null; output goes where this program's goes.
    if (!g_spawn_async(nullptr, argv.data(), nullptr,
                       GSpawnFlags(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDIN_FROM_DEV_NULL),
                       nullptr, nullptr, &pid, gio::OutParam(spawnError))) {
        const QString error = QString::fromUtf8(spawnError ? spawnError->message : "");
        // From the event loop, as the answer of a started program comes.
        QTimer::singleShot(0, context, [done = std::move(done), error] { done(error); });
        return;
    }
    // The watch runs in the default main context, which is the window's
    // thread's event loop.
    g_child_watch_add(pid, childEnded, new Watch{context, std::move(done)});
}

} // namespace marvoline
