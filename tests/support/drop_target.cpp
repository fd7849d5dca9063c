// A window of another program that takes dropped files, for end-to-end drag
// tests. Usage: marvoline_drop_target OUTPUT X Y
//
// The window (300 x 300, title "Drop target") moves itself to X, Y. It accepts
// a drag that carries URLs, with the action the source proposes and no other,
// and prints "over X Y" (the pointer's place on the screen) on standard output
// for each place of the drag it accepts. On the drop it writes OUTPUT and exits:
//   action <drop action>
//   possible <the actions the source offered, separated by '|'>
//   <each URL as it came in the text/uri-list data, one per line>
// The file appears at once and complete (written beside and renamed). Without
// a drop it gives up after a minute, exit code 2.
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QSaveFile>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {

QByteArray actionName(Qt::DropAction action) {
    switch (action) {
    case Qt::CopyAction:
        return "copy";
    case Qt::MoveAction:
        return "move";
    case Qt::LinkAction:
        return "link";
    case Qt::IgnoreAction:
        return "ignore";
    default:
        return "other";
    }
}

QByteArray actionNames(Qt::DropActions actions) {
    QList<QByteArray> names;
    for (Qt::DropAction a : {Qt::CopyAction, Qt::MoveAction, Qt::LinkAction}) {
        if (actions.testFlag(a))
            names.append(actionName(a));
    }
    return names.isEmpty() ? QByteArray("none") : names.join('|');
}

class DropTarget : public QWidget {
public:
    explicit DropTarget(QString output)
        : m_output(std::move(output)) {
        setAcceptDrops(true);
        setWindowTitle(QStringLiteral("Drop target"));
        setFixedSize(300, 300);
    }

protected:
    void dragEnterEvent(QDragEnterEvent* event) override { consider(event); }
    void dragMoveEvent(QDragMoveEvent* event) override {
        consider(event);
        if (event->isAccepted()) {
            const QPoint global = mapToGlobal(event->position().toPoint());
            std::printf("over %d %d\n", global.x(), global.y());
            std::fflush(stdout);
        }
    }

    void dropEvent(QDropEvent* event) override {
        if (!event->mimeData()->hasUrls()) {
            event->ignore();
            return;
        }
        event->acceptProposedAction();
        QByteArray text = "action " + actionName(event->dropAction()) + '\n';
        text += "possible " + actionNames(event->possibleActions()) + '\n';
        // The bytes as sent; lines end in CR LF, '#' starts a comment.
        const QList<QByteArray> lines =
            event->mimeData()->data(QStringLiteral("text/uri-list")).split('\n');
        for (QByteArray line : lines) {
            if (line.endsWith('\r'))
                line.chop(1);
            if (!line.isEmpty() && !line.startsWith('#'))
                text += line + '\n';
        }
        QSaveFile file(m_output);
        const bool written =
            file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit();
        if (!written)
            std::fprintf(stderr, "drop target: cannot write %s\n", qPrintable(m_output));
        // Leave once the drop is answered to the source.
        QTimer::singleShot(0, qApp, [written] { QCoreApplication::exit(written ? 0 : 1); });
    }

private:
    static void consider(QDropEvent* event) {
        if (event->mimeData()->hasUrls())
            event->acceptProposedAction();
        else
            event->ignore();
    }

    QString m_output;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    bool xOk = false;
    bool yOk = false;
    const int x = args.value(2).toInt(&xOk);
    const int y = args.value(3).toInt(&yOk);
    if (args.size() != 4 || !xOk || !yOk) {
        std::fprintf(stderr, "usage: marvoline_drop_target OUTPUT X Y\n");
        return 64;
    }
    DropTarget target(args.at(1));
    target.move(x, y);
    target.show();
    QTimer::singleShot(60000, &app, [] { QCoreApplication::exit(2); });
    return app.exec();
}
