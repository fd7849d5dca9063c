#include "platform/DetachedProcess.h"

#include "platform/gio/GObjectPtr.h"

#include <QFile>

#include <glib.h>

#include <vector>

namespace marvoline {

namespace {

using GErrorPtr = gio::Owned<GError, g_error_free>;

} // namespace

bool startDetachedProcess(const QString& program, const QList<QByteArray>& arguments,
                          QString* error) {
    QByteArray file = QFile::encodeName(program);
    QList<QByteArray> words = arguments; // argv needs writable strings
    std::vector<char*> argv;
    argv.reserve(std::size_t(words.size()) + 2);
    argv.push_back(file.data());
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
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

} // namespace marvoline
