// The "Drag Me" handle: which files a drag carries and how it is offered.

#include "support/TestMain.h"

#include "views/WindowDragHandleView.h"

#include <QDrag>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>

using namespace marvoline;

namespace {

// Records the drags the handle starts instead of running them (the offscreen
// platform has no drag and drop).
class RecordingHandle : public WindowDragHandleView {
public:
    struct Started {
        QList<QUrl> urls;
        QPixmap pixmap;
        QPoint hotSpot;
        Qt::DropActions supportedActions;
        Qt::DropAction defaultAction = Qt::IgnoreAction;
    };
    QList<Started> drags;

protected:
    Qt::DropAction execDrag(QDrag* drag, Qt::DropActions supportedActions,
                            Qt::DropAction defaultAction) override {
        drags.append({drag->mimeData()->urls(), drag->pixmap(), drag->hotSpot(), supportedActions,
                      defaultAction});
        return Qt::CopyAction;
    }
};

QList<QUrl> numberedFiles(int count) {
    QList<QUrl> urls;
    for (int i = 1; i <= count; ++i)
        urls.append(QUrl::fromLocalFile(QStringLiteral("/tmp/file %1.txt").arg(i)));
    return urls;
}

void sendMouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(pos), QPointF(widget->mapToGlobal(pos)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

} // namespace

class TestDragHandle : public QObject {
    Q_OBJECT

public:
    explicit TestDragHandle(marvoline::test::XdgSandbox&) {}

private Q_SLOTS:
    void pillSizeAndCaption() {
        QWidget window;
        auto* handle = new WindowDragHandleView(&window);
        window.show();
        handle->adjustSize();
        QCOMPARE(handle->height(), 26);
        QVERIFY(handle->width() >= 90);
        QVERIFY(handle->minimumSizeHint().width() >= 90);
        QCOMPARE(handle->label()->text(), QStringLiteral("Drag Me"));
        // The content keeps at least 10 pixels from both ends.
        const QRect content = handle->childrenRect();
        QVERIFY(content.left() >= 10);
        QVERIFY(content.right() <= handle->width() - 1 - 10);
        // Even when squeezed by a narrow parent.
        handle->resize(handle->minimumSizeHint());
        QVERIFY(handle->childrenRect().left() >= 10);
    }

    void atMostTheFirstTenFilesAreDragged() {
        WindowDragHandleView handle;
        const QList<QUrl> twelve = numberedFiles(12);
        handle.fileURLs = [twelve] { return twelve; };
        QCOMPARE(handle.urlsToDrag(), twelve.mid(0, 10));
        const std::unique_ptr<QMimeData> data = handle.makeDragData();
        QVERIFY(data);
        QCOMPARE(data->urls(), twelve.mid(0, 10));
        QVERIFY(data->hasUrls());

        const QList<QUrl> one = numberedFiles(1);
        handle.fileURLs = [one] { return one; };
        QCOMPARE(handle.makeDragData()->urls(), one);
    }

    void noFilesNoDragData() {
        WindowDragHandleView handle;
        // The initial provider gives nothing.
        QVERIFY(handle.urlsToDrag().isEmpty());
        QVERIFY(!handle.makeDragData());
        handle.fileURLs = nullptr;
        QVERIFY(!handle.makeDragData());
    }

    void fileUrlsTravelUnchanged() {
        WindowDragHandleView handle;
        // A name in Latin-1 bytes, not valid UTF-8, and one with a space and '#'.
        const QUrl latin1 = QUrl::fromEncoded("file:///tmp/caf%E9.txt");
        const QUrl spaced = QUrl::fromLocalFile(QStringLiteral("/tmp/a b#c.txt"));
        QVERIFY(latin1.isValid());
        handle.fileURLs = [=] { return QList<QUrl>{latin1, spaced}; };
        const std::unique_ptr<QMimeData> data = handle.makeDragData();
        QVERIFY(data);
        QCOMPARE(data->urls(), (QList<QUrl>{latin1, spaced}));
        const QList<QByteArray> lines = data->data(QStringLiteral("text/uri-list")).split('\n');
        QVERIFY(lines.size() >= 2);
        QCOMPARE(lines.at(0).trimmed(), QByteArray("file:///tmp/caf%E9.txt"));
        QCOMPARE(lines.at(1).trimmed(), QByteArray("file:///tmp/a%20b%23c.txt"));
    }

    void draggingOffersACopyOnly() {
        QWidget window;
        auto* handle = new RecordingHandle;
        handle->setParent(&window);
        handle->fileURLs = [] { return numberedFiles(3); };
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const int distance = QApplication::startDragDistance();
        const QPoint start(20, 13);

        sendMouse(handle, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
        // Not far enough yet.
        sendMouse(handle, QEvent::MouseMove, start + QPoint(distance - 1, 0), Qt::NoButton,
                  Qt::LeftButton);
        QCOMPARE(handle->drags.size(), 0);
        sendMouse(handle, QEvent::MouseMove, start + QPoint(distance, 0), Qt::NoButton,
                  Qt::LeftButton);
        QCOMPARE(handle->drags.size(), 1);
        // One drag per press.
        sendMouse(handle, QEvent::MouseMove, start + QPoint(3 * distance, 0), Qt::NoButton,
                  Qt::LeftButton);
        sendMouse(handle, QEvent::MouseButtonRelease, start, Qt::LeftButton, Qt::NoButton);
        QCOMPARE(handle->drags.size(), 1);

        const RecordingHandle::Started& drag = handle->drags.constFirst();
        QCOMPARE(drag.supportedActions, Qt::DropActions(Qt::CopyAction));
        QCOMPARE(drag.defaultAction, Qt::CopyAction);
        QCOMPARE(drag.urls, numberedFiles(3));
        QVERIFY(!drag.pixmap.isNull());
        QCOMPARE(drag.pixmap.deviceIndependentSize(), QSizeF(48, 48));
        QCOMPARE(drag.hotSpot, QPoint(0, 0));

        // A new press drags again.
        sendMouse(handle, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
        sendMouse(handle, QEvent::MouseMove, start + QPoint(0, distance + 1), Qt::NoButton,
                  Qt::LeftButton);
        QCOMPARE(handle->drags.size(), 2);
    }

    void noDragWithoutFilesOrWithOtherButtons() {
        QWidget window;
        auto* handle = new RecordingHandle;
        handle->setParent(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QPoint start(20, 13);
        const QPoint far = start + QPoint(4 * QApplication::startDragDistance(), 0);

        // No files on show.
        sendMouse(handle, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
        sendMouse(handle, QEvent::MouseMove, far, Qt::NoButton, Qt::LeftButton);
        sendMouse(handle, QEvent::MouseButtonRelease, far, Qt::LeftButton, Qt::NoButton);
        QCOMPARE(handle->drags.size(), 0);

        // Files, but the right button.
        handle->fileURLs = [] { return numberedFiles(1); };
        sendMouse(handle, QEvent::MouseButtonPress, start, Qt::RightButton, Qt::RightButton);
        sendMouse(handle, QEvent::MouseMove, far, Qt::NoButton, Qt::RightButton);
        sendMouse(handle, QEvent::MouseButtonRelease, far, Qt::RightButton, Qt::NoButton);
        QCOMPARE(handle->drags.size(), 0);

        // Moving without a press first.
        sendMouse(handle, QEvent::MouseMove, far, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(handle->drags.size(), 0);
    }
};

MARVOLINE_TEST_MAIN(TestDragHandle)
#include "tst_views_draghandle.moc"
