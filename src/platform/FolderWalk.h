#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace marvoline {

// Reading folders for the folder summary. Hidden entries (names that start
// with a dot) are skipped everywhere, and so is everything inside a hidden
// folder. Symbolic links are entries of their own: they are never followed
// into the folder they point to, so a link loop is walked once. Both functions
// are safe to call on any thread.

struct FolderEntry {
    QString name; // for display only: lossy for names that are not UTF-8
    bool isDirectory = false;
};

struct FolderListing {
    // The first entries of the folder in the order the file system returns
    // them, at most the limit asked for.
    QList<FolderEntry> entries;
    // Every visible entry of the folder, also those beyond the limit.
    qint64 total = 0;
};

// The direct entries of the folder at the path; empty when it cannot be read.
FolderListing listFolder(const QByteArray& path, int limit);

struct FolderStatistics {
    qint64 count = 0;                // every visible entry at every depth
    qint64 totalSize = 0;            // apparent sizes of the entries that are not folders
    std::optional<QDateTime> newest; // latest modification time of any entry
};

// Walks the whole tree below the folder at the path. An entry whose
// attributes cannot be read is counted and adds nothing else; a folder that
// cannot be opened is counted and its contents are skipped. A folder at the
// path that cannot be read gives zero figures. isCancelled is asked often;
// once it answers true the walk stops and the result is absent.
std::optional<FolderStatistics> folderStatistics(const QByteArray& path,
                                                 const std::function<bool()>& isCancelled = {});

} // namespace marvoline
