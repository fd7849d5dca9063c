#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace marvoline {

// A file of the selection with its type and the application that opens that
// type by default (absent when none does).
struct TypedFile {
    QUrl file;
    std::optional<QString> type; // absent when the type cannot be read
    std::optional<QUrl> app;
};

// One launch: an application with its files, in the selection's order.
struct DefaultLaunch {
    QUrl app;
    QList<QUrl> files;
};

// The selection split by default application.
struct DefaultGroups {
    // In the order of each application's first file.
    QList<DefaultLaunch> launches;
    // The files whose type has no default application, in order.
    QList<QUrl> unopened;
    // Their types, each once, in order of first appearance; an unreadable
    // type is an absent entry.
    QList<std::optional<QString>> typesWithoutApp;
};

// Groups the files by application: two types with the same default share one
// launch. Applications are the same when their entries' paths are.
DefaultGroups groupByDefault(const QList<TypedFile>& files);

// How many different types the files have; an unreadable type counts once.
qsizetype distinctTypeCount(const QList<std::optional<QString>>& types);

} // namespace marvoline
