// End to end on a real X server with a window manager: a drag from the
// chooser's "Drag Me" handle, made with the real pointer, drops the first ten
// files on show into a window of another program, as a copy, and leaves the
// files and the chooser window where they are.
#include "support/TestMain.h"
#include "support/X11Desktop.h"

#include "main/MainViewController.h"
#include "views/WindowDragHandleView.h"

#include <QDropEvent>
#include <QMimeData>

using namespace marvoline;
using namespace Qt::StringLiterals;
using namespace marvoline::test;

namespace {

void movePointer(QPoint p) {
    xdotool({u"mousemove"_s, QString::number(p.x()), QString::number(p.y())});
}

// A window that takes dropped URLs with the action the source proposes, and notes where on the
// screen it accepted the drag and what was dropped: the action, the actions offered and the
// text/uri-list lines as they came.
class DropTarget : public QWidget {
public:
    DropTarget() {
        setAcceptDrops(true);
        setWindowTitle(u"Drop target"_s);
        setFixedSize(300, 300);
    }
    QList<QPoint> acceptedAt;
    QByteArray dropped;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override { event->acceptProposedAction(); }
    void dragMoveEvent(QDragMoveEvent* event) override {
        event->acceptProposedAction();
        acceptedAt.append(mapToGlobal(event->position().toPoint()));
    }
    void dropEvent(QDropEvent* event) override {
        event->acceptProposedAction();
        const auto name = [](Qt::DropActions a) {
            return a == Qt::CopyAction ? "copy" : a == Qt::MoveAction ? "move" : "other";
        };
        dropped = "action "_ba + name(event->dropAction()) + "\npossible " +
                  name(event->possibleActions()) + '\n' +
                  event->mimeData()->data(u"text/uri-list"_s).replace("\r\n", "\n");
    }
};

} // namespace

class TestDragEndToEnd final : public QObject {
    Q_OBJECT

public:
    // No application knows the files' type: the chooser's countdown then ends
    // the program without opening anything.
    explicit TestDragEndToEnd(XdgSandbox& sandbox)
        : m_sandbox(sandbox) {}

private:
    XdgSandbox& m_sandbox;
    WindowManager m_wm;

private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(m_wm.start(), "needs an X server with openbox (run under xvfb-run)");
    }

    void dragFromTheHandleDropsTheFirstTenFilesAsACopy() {
        // Twelve files; the second has a space in its name.
        QList<QUrl> files;
        for (int i = 1; i <= 12; ++i) {
            const QString name = i == 2 ? u"drag/second file.txt"_s
                                        : u"drag/file%1.txt"_s.arg(i, 2, 10, QChar(u'0'));
            files.append(m_sandbox.writeFile(name, QByteArray::number(i) + '\n'));
        }
        // The window that takes the drop, left of where the chooser comes up (centred).
        DropTarget target;
        target.move(30, 200);
        target.show();
        const QString targetWindow = findWindow(QCoreApplication::applicationPid());
        QVERIFY2(!targetWindow.isEmpty(), "no drop target window appeared");
        QTRY_VERIFY_WITH_TIMEOUT(windowGeometry(targetWindow).width() == 300, 10000);

        ChooserProcess chooser(files);
        QVERIFY2(!chooser.window.isEmpty(), "no chooser window appeared");
        const std::optional<QPoint> handle =
            chooser.locate([](MainViewController& vc) { return vc.dragHandle; });
        QVERIFY(handle);
        const QRect before = windowGeometry(chooser.window);
        const QRect dropArea = windowGeometry(targetWindow);
        QVERIFY2(!before.intersects(dropArea), "the chooser covers the drop target");
        // The countdown (no application to open with) must not have ended the chooser yet.
        QCOMPARE(chooser.process.state(), QProcess::Running);

        xdotool({u"mousemove"_s, u"--window"_s, chooser.window, QString::number(handle->x()),
                 QString::number(handle->y())});
        const QPoint start = before.topLeft() + *handle;
        const QPoint end = dropArea.center();
        xdotool({u"mousedown"_s, u"1"_s});
        // Past the drag distance, still on the handle: the drag starts.
        movePointer(start + QPoint(-12, 0));
        constexpr int steps = 8;
        for (int i = 1; i <= steps; ++i) {
            movePointer(start + (end - start) * i / steps);
            QTest::qWait(30);
        }
        // Release only once the target has taken the drag at two places: it
        // answered the first before the second reached it, so the chooser
        // knows the drop is wanted when the button comes up.
        QTRY_VERIFY(target.acceptedAt.contains(end));
        movePointer(end + QPoint(6, 6));
        QTRY_VERIFY(target.acceptedAt.contains(end + QPoint(6, 6)));
        xdotool({u"mouseup"_s, u"1"_s});
        // Offered as a copy only, and dropped as one; exactly the first ten files, in their
        // order, byte for byte.
        QByteArray expected = "action copy\npossible copy\n";
        for (const QUrl& file : files.mid(0, 10))
            expected += file.toEncoded() + '\n';
        QVERIFY(expected.contains("/drag/second%20file.txt\n"));
        QTRY_COMPARE(target.dropped, expected);

        // The files stay where they are.
        for (int i = 0; i < files.size(); ++i) {
            QFile file(files.at(i).toLocalFile());
            QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
            QCOMPARE(file.readAll(), QByteArray::number(i + 1) + '\n');
        }
        // The drag did not move the window, and the countdown ends the chooser as usual.
        QCOMPARE(chooser.process.state(), QProcess::Running);
        QCOMPARE(windowGeometry(chooser.window), before);
        QVERIFY2(chooser.endsWell(20000), "the chooser did not end after the drag");
    }
};

MARVOLINE_TEST_MAIN(TestDragEndToEnd)
#include "tst_e2e_drag.moc"
