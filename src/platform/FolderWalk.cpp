#include "platform/FolderWalk.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <vector>

namespace marvoline {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirPtr = std::unique_ptr<DIR, DirCloser>;

// Opens a folder for reading. Below the starting folder a name that has been
// replaced by a symbolic link since it was looked at is not followed.
DirPtr openFolder(const QByteArray& path, bool followLink) {
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
    const int fd = ::open(path.constData(), flags);
    if (fd < 0)
        return {};
    DIR* dir = ::fdopendir(fd);
    if (!dir)
        ::close(fd);
    return DirPtr(dir);
}

bool isHidden(const char* name) {
    return name[0] == '.';
}

bool isDirectoryEntry(DIR* dir, const dirent* entry) {
    if (entry->d_type != DT_UNKNOWN)
        return entry->d_type == DT_DIR;
    // Some file systems leave the type to a stat call.
    struct stat st {};
    return ::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISDIR(st.st_mode);
}

bool later(const timespec& a, const timespec& b) {
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

// How many entries are read between two questions whether to go on.
constexpr unsigned kCancelCheckInterval = 1024;

} // namespace

FolderListing listFolder(const QByteArray& path, int limit) {
    FolderListing listing;
    const DirPtr dir = openFolder(path, true);
    if (!dir)
        return listing;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (isHidden(entry->d_name))
            continue;
        ++listing.total;
        if (listing.entries.size() < limit) {
            listing.entries.append(
                {QFile::decodeName(entry->d_name), isDirectoryEntry(dir.get(), entry)});
        }
    }
    return listing;
}

std::optional<FolderStatistics> folderStatistics(const QByteArray& path,
                                                 const std::function<bool()>& isCancelled) {
    const auto cancelled = [&isCancelled] { return isCancelled && isCancelled(); };
    FolderStatistics stats;
    timespec newest{};
    bool haveNewest = false;
    unsigned sinceCheck = 0;

    // Depth first with a list of folders still to read rather than recursion:
    // deep trees neither grow the stack nor hold a descriptor per level.
    std::vector<QByteArray> pending{path};
    bool atStart = true;
    while (!pending.empty()) {
        if (cancelled())
            return std::nullopt;
        const QByteArray folder = std::move(pending.back());
        pending.pop_back();
        const DirPtr dir = openFolder(folder, atStart);
        atStart = false;
        if (!dir)
            continue;
        const int fd = ::dirfd(dir.get());
        while (const dirent* entry = ::readdir(dir.get())) {
            if (isHidden(entry->d_name))
                continue;
            if (++sinceCheck == kCancelCheckInterval) {
                sinceCheck = 0;
                if (cancelled())
                    return std::nullopt;
            }
            ++stats.count;
            struct stat st {};
            if (::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            if (S_ISDIR(st.st_mode))
                pending.push_back(folder + '/' + entry->d_name);
            else
                stats.totalSize += st.st_size;
            if (!haveNewest || later(st.st_mtim, newest)) {
                newest = st.st_mtim;
                haveNewest = true;
            }
        }
    }
    if (haveNewest) {
        stats.newest =
            QDateTime::fromMSecsSinceEpoch(qint64(newest.tv_sec) * 1000 + newest.tv_nsec / 1000000);
    }
    return stats;
}

} // namespace marvoline
