#pragma once

#include <QList>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>

class QDrag;
class QLabel;
class QMimeData;

namespace marvoline {

// The small rounded "Drag Me" pill of the chooser's options row. Dragging from
// it drags the files on show (at most the first ten) out of the chooser as
// file URLs, offered as a copy only, so a drop never moves them away. It never
// moves the window. The files are asked from `fileURLs` when a drag starts.
class WindowDragHandleView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kHeight = 26;
    static constexpr int kMinimumWidth = 90;
    static constexpr int kMaxDraggedFiles = 10;
    static constexpr int kDragImageSize = 48;

    explicit WindowDragHandleView(QWidget* parent = nullptr);

    // Provider of the files to drag; returns no files until the owner sets it.
    std::function<QList<QUrl>()> fileURLs = [] { return QList<QUrl>(); };

    // The first ten of the provided files, in their order.
    QList<QUrl> urlsToDrag() const;
    // The data a drag carries (the URLs as text/uri-list, unchanged); null when
    // there is nothing to drag.
    std::unique_ptr<QMimeData> makeDragData() const;

    QLabel* label() const { return m_label; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

    // Runs the prepared drag; the handle offers Qt::CopyAction only.
    virtual Qt::DropAction execDrag(QDrag* drag, Qt::DropActions supportedActions,
                                    Qt::DropAction defaultAction);

private:
    void startDrag();
    void updateAppearance();

    QLabel* m_label;
    QList<QLabel*> m_symbolViews;
    QPoint m_pressPosition;
    bool m_dragArmed = false;
};

} // namespace marvoline
