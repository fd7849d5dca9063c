#pragma once

#include <QList>
#include <QUrl>

#include <memory>

class QMimeData;

namespace marvoline {

// The kinds of the copy menu's items. The value is the item's tag and does not
// depend on which other items the menu has.
enum class CopyTag : int {
    Header = 0,
    Name = 1,
    File = 2,
    Path = 3,
    Text = 4,
    Image = 5,
};

// Larger files get no text copy: their text would be read into memory whole.
constexpr qint64 maxTextCopyBytes = qint64(64) * 1024 * 1024;

// What the copy menu offers for a file that is not a folder: text when its
// content type is plain text or one of its subclasses, RTF, HTML or XML, or
// its extension is one of the usual text ones; image when the content type's
// media type is "image" or the extension is one of the usual image ones.
struct CopyKinds {
    bool isText = false;
    bool isImage = false;
};
CopyKinds copyKinds(const QUrl& file);

// Whether the file system has a folder at the file's path (now).
bool isFolder(const QUrl& file);

// The clipboard content for the item, made from the files as they are now;
// null when there is nothing to write (header, a text or image copy that
// cannot be read, a text or image copy of a folder, no files), so that the
// clipboard keeps what it had.
std::unique_ptr<QMimeData> copyContent(CopyTag tag, const QList<QUrl>& files);

} // namespace marvoline
