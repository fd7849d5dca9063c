// Starting an application with files through GIO, asynchronously: GIO expands
// the entry's Exec line itself (no shell), or activates the application over
// D-Bus, and reports back in GLib's main context.

#include "platform/gio/GioAppRegistry.h"

#include "platform/FilePaths.h"
#include "platform/gio/GObjectPtr.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <memory>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace marvoline {

namespace {

using gio::OutParam;
template <typename T> using GObjectPtr = gio::Owned<T, g_object_unref>;
using GCharPtr = gio::Owned<char, g_free>;
using GErrorPtr = gio::Owned<GError, g_error_free>;
using GStringListPtr = gio::OwnedFull<GList, g_list_free_full, g_free>;

// How often GLib's main context is run by hand when Qt's event loop does not
// run it.
constexpr int pumpIntervalMs = 10;

// One launch in flight; GIO owns it from the call until its callback.
struct LaunchJob {
    AppRegistry::LaunchCallback done;
    QPointer<QTimer> pump;
};

// Hands the result to the caller on the main thread, outside GLib's dispatch,
// so that a callback that runs a nested event loop does no harm.
void deliver(AppRegistry::LaunchCallback done, std::optional<QString> error) {
    if (!done)
        return;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        done(error);
        return;
    }
    QMetaObject::invokeMethod(
        app, [done = std::move(done), error = std::move(error)] { done(error); },
        Qt::QueuedConnection);
}

QString failedText() {
    //% "The application could not be started."
    return qtTrId("ui.launchNotStarted");
}

void launchFinished(GObject* source, GAsyncResult* result, gpointer data) {
    const std::unique_ptr<LaunchJob> job(static_cast<LaunchJob*>(data));
    GErrorPtr error;
    const bool ok = g_app_info_launch_uris_finish(G_APP_INFO(source), result, OutParam(error));
    if (job->pump) {
        job->pump->stop();
        job->pump->deleteLater();
    }
    std::optional<QString> message;
    if (!ok)
        message = error && error->message && *error->message ? QString::fromUtf8(error->message)
                                                             : failedText();
    deliver(std::move(job->done), std::move(message));
}

bool isExecutableFile(const char* path) {
    return path && g_file_test(path, G_FILE_TEST_IS_REGULAR) && ::access(path, X_OK) == 0;
}

// The interpreter a script names on its "#!" line; empty for other files.
QByteArray scriptInterpreter(const char* path) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return {};
    char head[256];
    const ssize_t length = ::read(fd, head, sizeof head);
    ::close(fd);
    if (length < 2 || head[0] != '#' || head[1] != '!')
        return {};
    QByteArray line(head + 2, qsizetype(length - 2));
    if (const qsizetype end = line.indexOf('\n'); end >= 0)
        line.truncate(end);
    line = line.simplified();
    const qsizetype space = line.indexOf(' ');
    return space >= 0 ? line.left(space) : line;
}

// GIO starts a program through its gio-launch-desktop helper, so a program
// that cannot be executed (removed since its entry was read, a script whose
// interpreter is missing) is reported as started. The usual causes are
// checked here first; an application started over D-Bus has no program of
// its own to check.
bool programCanStart(GDesktopAppInfo* info) {
    if (g_desktop_app_info_get_boolean(info, "DBusActivatable"))
        return true;
    const char* executable = g_app_info_get_executable(G_APP_INFO(info));
    const GCharPtr program(executable ? g_find_program_in_path(executable) : nullptr);
    if (!isExecutableFile(program.get()))
        return false;
    const QByteArray interpreter = scriptInterpreter(program.get());
    return interpreter.isEmpty() || !interpreter.startsWith('/') ||
           isExecutableFile(interpreter.constData());
}

// Whether Qt's event loop on this thread also runs GLib's default main
// context (its GLib event dispatcher does; QT_NO_GLIB or a build without
// GLib gives a dispatcher that does not).
bool qtRunsGlibMainContext() {
    const QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    return dispatcher && dispatcher->inherits("QEventDispatcherGlib");
}

// Runs GLib's default main context from a Qt timer until the launch's
// callback has come; the callback stops and deletes the timer.
QTimer* startPump() {
    auto* timer = new QTimer(QCoreApplication::instance());
    QObject::connect(timer, &QTimer::timeout, timer, [] {
        GMainContext* context = g_main_context_default();
        if (!g_main_context_acquire(context))
            return;
        // A bounded number of rounds: never starve Qt's own events.
        for (int i = 0; i < 64 && g_main_context_iteration(context, FALSE); ++i) {
        }
        g_main_context_release(context);
    });
    timer->start(pumpIntervalMs);
    return timer;
}

} // namespace

void GioAppRegistry::launch(const QUrl& app, const QList<QUrl>& files, LaunchCallback done) {
    // The same test for a usable entry as everywhere else in the registry.
    GObjectPtr<GDesktopAppInfo> info;
    if (bundleIdentifier(app))
        info.reset(g_desktop_app_info_new_from_filename(localPath(app).constData()));
    if (!info) {
        //% "The application's desktop entry is missing or cannot be read."
        deliver(std::move(done), qtTrId("ui.launchEntryInvalid"));
        return;
    }
    if (!programCanStart(info.get())) {
        //% "The application's program is missing or cannot be run."
        deliver(std::move(done), qtTrId("ui.launchProgramMissing"));
        return;
    }

    // URIs in their encoded form keep every byte of the file names; GIO hands
    // %f/%F applications the paths decoded from them.
    GStringListPtr uris;
    for (auto it = files.crbegin(); it != files.crend(); ++it) {
        const QByteArray uri = it->toEncoded();
        uris.reset(g_list_prepend(uris.release(), g_strndup(uri.constData(), gsize(uri.size()))));
    }

    auto* job = new LaunchJob{std::move(done), {}};
    if (!qtRunsGlibMainContext())
        job->pump = startPump();
    // No launch context: a plain one has no startup notification ID, and GIO
    // reports a failed D-Bus activation to the context with that ID, which
    // trips its own assertion. The context would carry nothing else.
    g_app_info_launch_uris_async(G_APP_INFO(info.get()), uris.get(), nullptr, nullptr,
                                 launchFinished, job);
}

} // namespace marvoline
