#pragma once

#include "main/ChoiceReceiver.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>

class QWidget;

namespace marvoline {

class MainViewController;
class PortalAppChooser;

// Shows the chooser for the desktop portal's requests, one window per
// request, one request at a time: the file of the request in the preview and
// the portal's choices in the row, in the portal's order with the last
// choice first. The choice goes back to the portal, which starts the
// application; nothing is launched here.
class PortalChooser : public QObject, public ChoiceReceiver {
    Q_OBJECT

public:
    explicit PortalChooser(PortalAppChooser& service, QObject* parent = nullptr);
    ~PortalChooser() override;

    QList<QUrl> offeredApplications() const override { return m_offered; }
    void applicationChosen(const QUrl& appURL) override;
    void choiceCancelled() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showCurrent();
    void updateChoices();
    void takeWindowDown();

    PortalAppChooser& m_service;
    QPointer<QWidget> m_window;
    QPointer<MainViewController> m_controller;
    QList<QUrl> m_offered;
};

} // namespace marvoline
