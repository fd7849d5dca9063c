#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

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
// Only a regular file gets either: reading a pipe or a device would never end.
struct CopyKinds {
    bool isText = false;
    bool isImage = false;
};
CopyKinds copyKinds(const QUrl& file);

// Whether the file system has a folder at the file's path (now).
bool isFolder(const QUrl& file);

// The clipboard content of the name, file and path items, made from the files
// as they are now; null for the other items and when there are no files.
std::unique_ptr<QMimeData> copyContent(CopyTag tag, const QList<QUrl>& files);

// Why a text or image copy put nothing on the clipboard.
enum class CopyFailure { None, Unreadable, TooLarge, NotText, NotImage };

// The text or image read for a copy; exactly one of text, image and failure is
// set.
struct ReadForCopy {
    std::optional<QString> text;
    QImage image;
    CopyFailure failure = CopyFailure::None;
};

// Reads the text of the regular file at the path. Blocks on the disk: call it
// away from the window's thread.
ReadForCopy readTextForCopy(const QByteArray& path);
// Reads the image of the regular file at the path, scaled down to fit Qt's
// image allocation limit when it is larger. Blocks as readTextForCopy does.
ReadForCopy readImageForCopy(const QByteArray& path);

// The text of a file's bytes in the file's own encoding: UTF-8, UTF-16 or
// UTF-32 with a byte order mark, UTF-8 without one, the charset an HTML or XML
// file declares, else Latin-1. Absent for bytes that are not text (a NUL byte
// or other control characters than those of text layout).
std::optional<QString> decodeFileText(const QByteArray& bytes);

// The clipboard content for what was read; null on failure.
std::unique_ptr<QMimeData> copyContent(const ReadForCopy& read);

} // namespace marvoline
