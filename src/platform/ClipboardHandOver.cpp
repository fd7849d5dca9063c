// What was copied outlives the chooser: a clipboard manager takes it, or a
// holder process serves it.
#include "platform/ClipboardHandOver.h"

#include "platform/DetachedProcess.h"
#include "platform/FileContents.h"
#include "platform/FilePaths.h"
#include "platform/Logging.h"
#include "platform/x11/X11Clipboard.h"

#include <QBuffer>
#include <QClipboard>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QThread>
#include <QTimer>

#include <cstring>

#include <unistd.h>

namespace marvoline::clipboard {

namespace {

constexpr quint32 kPackVersion = 1;
// The format under which an image travels, as PNG.
const QString imageFormat = QStringLiteral("application/x-marvoline-image-png");
const QString textFormat = QStringLiteral("text/plain");
const QString urlsFormat = QStringLiteral("text/uri-list");
// How long the chooser waits for a holder to take the clipboard.
constexpr int kTakeOverMs = 3000;
// A holder checks this often whether it still owns the clipboard, besides
// being told so.
constexpr int kOwnershipCheckMs = 2000;

// The formats and their bytes, in the order packed.
using Entries = QList<QPair<QString, QByteArray>>;

Entries unpackEntries(const QByteArray& packed) {
    QDataStream in(packed);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 version = 0;
    Entries entries;
    in >> version >> entries;
    if (in.status() != QDataStream::Ok || version != kPackVersion)
        return {};
    return entries;
}

// Removes the hand-over file when the holder is done with it, however it
// leaves; the chooser waits for exactly that.
struct FileRemover {
    QByteArray path;
    ~FileRemover() { ::unlink(path.constData()); }
};

QByteArray readHandOverFile(const QByteArray& path) {
    const std::unique_ptr<QFile> file = openRegularFile(path);
    return file ? file->readAll() : QByteArray();
}

int holdOnX11(int argc, char** argv, const QByteArray& path) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("marvoline"));
    std::unique_ptr<QMimeData> data;
    {
        const FileRemover remover{path};
        data = unpack(readHandOverFile(path));
        if (!data) {
            qCWarning(lcMarvoline) << "clipboard holder: nothing to hold";
            return 1;
        }
        QGuiApplication::clipboard()->setMimeData(data.release());
    }
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard->ownsClipboard()) {
        qCWarning(lcMarvoline) << "clipboard holder: the clipboard could not be taken";
        return 1;
    }
    // Another program's copy ends the holder.
    auto checkOwnership = [clipboard] {
        if (!clipboard->ownsClipboard())
            QCoreApplication::quit();
    };
    QObject::connect(clipboard, &QClipboard::changed, &app, checkOwnership);
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &app, checkOwnership);
    check.start(kOwnershipCheckMs);
    QTimer::singleShot(holdSeconds * 1000, &app, &QCoreApplication::quit);
    return QCoreApplication::exec();
}

// wl-copy offers one type: the richest of what was copied.
std::optional<QPair<QString, QByteArray>> waylandOffer(const Entries& entries) {
    for (const QString& format : {imageFormat, urlsFormat, textFormat}) {
        for (const auto& [name, bytes] : entries) {
            if (name != format)
                continue;
            if (format == imageFormat)
                return qMakePair(QStringLiteral("image/png"), bytes);
            if (format == textFormat)
                return qMakePair(QStringLiteral("text/plain;charset=utf-8"), bytes);
            return qMakePair(format, bytes);
        }
    }
    return std::nullopt;
}

int holdOnWayland(int argc, char** argv, const QByteArray& path) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("marvoline"));
    QProcess copy;
    {
        const FileRemover remover{path};
        const std::optional<QPair<QString, QByteArray>> offer =
            waylandOffer(unpackEntries(readHandOverFile(path)));
        const QString program = QStandardPaths::findExecutable(QStringLiteral("wl-copy"));
        if (!offer || program.isEmpty()) {
            qCWarning(lcMarvoline) << "clipboard holder: nothing to hold, or no wl-copy";
            return 1;
        }
        // In the foreground, so that this holder ends it after a day.
        copy.start(program,
                   {QStringLiteral("--foreground"), QStringLiteral("--type"), offer->first});
        if (!copy.waitForStarted()) {
            qCWarning(lcMarvoline) << "clipboard holder: wl-copy:" << copy.errorString();
            return 1;
        }
        copy.write(offer->second);
        copy.closeWriteChannel();
        // wl-copy takes the clipboard once it has read everything.
        while (copy.bytesToWrite() > 0 && copy.waitForBytesWritten(kTakeOverMs)) {
        }
    }
    QObject::connect(&copy, &QProcess::finished, &app, &QCoreApplication::quit);
    QTimer::singleShot(holdSeconds * 1000, &app, [&copy] { copy.terminate(); });
    if (copy.state() == QProcess::NotRunning)
        return 0;
    return QCoreApplication::exec();
}

} // namespace

QByteArray pack(const QMimeData& data) {
    Entries entries;
    for (const QString& format : data.formats()) {
        if (format == QLatin1String("application/x-qt-image"))
            continue;
        entries.append({format, data.data(format)});
    }
    if (data.hasImage()) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (qvariant_cast<QImage>(data.imageData()).save(&buffer, "PNG"))
            entries.append({imageFormat, png});
    }
    QByteArray packed;
    QDataStream out(&packed, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << kPackVersion << entries;
    return packed;
}

std::unique_ptr<QMimeData> unpack(const QByteArray& packed) {
    const Entries entries = unpackEntries(packed);
    if (entries.isEmpty())
        return nullptr;
    auto data = std::make_unique<QMimeData>();
    for (const auto& [format, bytes] : entries) {
        if (format == imageFormat) {
            const QImage image = QImage::fromData(bytes, "PNG");
            if (!image.isNull())
                data->setImageData(image);
        } else if (format == textFormat) {
            data->setText(QString::fromUtf8(bytes));
        } else {
            data->setData(format, bytes);
        }
    }
    return data;
}

void keepAfterExit() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard || !clipboard->ownsClipboard())
        return;
    const QString platform = QGuiApplication::platformName();
    const bool x11 = platform == QLatin1String("xcb");
    if (!x11 && !platform.startsWith(QLatin1String("wayland")))
        return; // no other program can read this clipboard anyway
    if (x11 && x11::clipboardManagerRuns())
        return; // Qt hands the content over when the application object goes
    const QMimeData* data = clipboard->mimeData();
    if (!data || data->formats().isEmpty())
        return;

    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    QTemporaryFile file(QDir(folder.isEmpty() ? QDir::tempPath() : folder)
                            .filePath(QStringLiteral("marvoline-clipboard-XXXXXX")));
    file.setAutoRemove(false);
    const QByteArray packed = pack(*data);
    if (!file.open() || file.write(packed) != packed.size() || !file.flush()) {
        qCWarning(lcMarvoline) << "what was copied could not be handed over:" << file.errorString();
        file.remove();
        return;
    }
    file.close();
    const QByteArray path = QFile::encodeName(file.fileName());
    QString error;
    if (!startDetachedProcess(QCoreApplication::applicationFilePath(),
                              {"--hold-clipboard", x11 ? "x11" : "wayland", path}, &error)) {
        qCWarning(lcMarvoline) << "the clipboard holder could not be started:" << error;
        ::unlink(path.constData());
        return;
    }
    // The holder removes the file once it serves the content. Nothing is on
    // screen any more, and no event of this program is to be handled: a short
    // wait here keeps the clipboard from being empty between the two.
    const QDeadlineTimer deadline(kTakeOverMs);
    while (pathExists(path) && !deadline.hasExpired())
        QThread::msleep(20);
    if (pathExists(path)) {
        qCWarning(lcMarvoline) << "the clipboard holder did not take the clipboard in time";
        ::unlink(path.constData());
    }
}

bool isHolderCommand(int argc, char** argv) {
    return argc == 4 && std::strcmp(argv[1], "--hold-clipboard") == 0 &&
           (std::strcmp(argv[2], "x11") == 0 || std::strcmp(argv[2], "wayland") == 0);
}

int runHolder(int argc, char** argv) {
    if (!isHolderCommand(argc, argv))
        return 2;
    const QByteArray path(argv[3]);
    // Only the holder's own command line: Qt must not read the arguments as its options.
    int qtArgc = 1;
    if (std::strcmp(argv[2], "x11") == 0)
        return holdOnX11(qtArgc, argv, path);
    return holdOnWayland(qtArgc, argv, path);
}

} // namespace marvoline::clipboard
