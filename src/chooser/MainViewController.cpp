#include "main/MainViewController.h"

#include "views/AppIconButton.h"

#include <QLayout>
#include <QTimer>

namespace marvoline {

MainViewController::MainViewController(QWidget* parent)
    : QWidget(parent) {
    resize(480, 420);
    buildUI();
}

MainViewController::~MainViewController() = default;

QList<AppIconButton*> MainViewController::appTiles() const {
    return appStackView->findChildren<AppIconButton*>(QString(), Qt::FindDirectChildrenOnly);
}

} // namespace marvoline
