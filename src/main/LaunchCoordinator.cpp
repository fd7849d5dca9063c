#include "main/LaunchCoordinator.h"

#include "main/AppDelegate.h"
#include "platform/NotificationCenter.h"
#include "platform/Platform.h"
#include "platform/dbus/ReminderHandOver.h"

namespace marvoline {

LaunchCoordinator::LaunchCoordinator(AppDelegate& delegate, WindowActivation launchActivation,
                                     QObject* parent)
    : QObject(parent)
    , m_delegate(delegate)
    , m_launchActivation(std::move(launchActivation))
    , m_instance(m_service) {
    m_service.setAcceptedActions({QString::fromLatin1(ApplicationService::reminderResponseAction),
                                  QString::fromLatin1(chooseAction)});

    connect(&m_instance, &SingleInstance::becamePrimary, this, &LaunchCoordinator::runHere);
    connect(&m_instance, &SingleInstance::standalone, this, &LaunchCoordinator::runHere);
    connect(&m_instance, &SingleInstance::isSecondary, this, [this] {
        if (m_reminderResponse)
            m_instance.forwardAction(
                QString::fromLatin1(ApplicationService::reminderResponseAction),
                {QVariant::fromValue(*m_reminderResponse)}, m_launchActivation.platformData());
        else if (m_delegate.ignoreRules)
            // "--choose": the running chooser shows them whatever its rules say.
            m_instance.forwardAction(QString::fromLatin1(chooseAction),
                                     {QUrl::toStringList(m_delegate.pendingURLs)},
                                     m_launchActivation.platformData());
        else
            m_instance.forward(m_delegate.pendingURLs, m_launchActivation.platformData());
    });
    connect(&m_instance, &SingleInstance::forwarded, this, [this](bool ok) {
        if (ok) {
            // The running chooser has the answer: the agent may forget the
            // reminder, and is told so before this process ends.
            reportReminderTaken([this] { Q_EMIT handedOver(); });
            return;
        }
        // The running chooser did not take them: show them here, and be the
        // one later processes find once the name is free.
        runHere();
        m_instance.claimAfterFallback();
    });

    // Once a launch is under way or the program is leaving, a request would be
    // acknowledged and then lost; the caller gets an error instead and shows
    // its files itself.
    connect(&m_delegate, &AppDelegate::launchStarted, this,
            [this] { m_service.setAcceptingRequests(false); });
    connect(&m_delegate, &AppDelegate::launchFailed, this,
            [this] { m_service.setAcceptingRequests(true); });
    connect(&m_delegate, &AppDelegate::terminateRequested, this,
            [this] { m_service.setAcceptingRequests(false); });
}

void LaunchCoordinator::start() {
    m_instance.start();
}

void LaunchCoordinator::start(const QDBusConnection& connection) {
    m_instance.start(connection);
}

void LaunchCoordinator::release() {
    m_service.setAcceptingRequests(false);
    m_instance.release();
}

void LaunchCoordinator::runHere() {
    if (m_running)
        return;
    m_running = true;
    connect(&m_service, &ApplicationService::openRequested, &m_delegate,
            [this](const QList<QUrl>& urls, const WindowActivation& activation) {
                m_delegate.openUrls(urls);
                m_delegate.activate(activation);
            });
    connect(&m_service, &ApplicationService::activateRequested, &m_delegate,
            &AppDelegate::activate);
    connect(&m_service, &ApplicationService::actionRequested, this,
            &LaunchCoordinator::onActionRequested);
    // The answer that started the process arrives before the launch check,
    // which then finds the chooser shown, or nothing to show.
    if (m_reminderResponse) {
        platform::notificationCenter().deliverResponse(*m_reminderResponse, m_launchActivation,
                                                       [] {});
        reportReminderTaken({});
    }
    m_delegate.applicationDidFinishLaunching();
    m_delegate.showCommandLineFiles();
}

void LaunchCoordinator::reportReminderTaken(std::function<void()> done) {
    if (m_reminderIdentifier.isEmpty()) {
        if (done)
            done();
        return;
    }
    ReminderHandOver::reportTaken(QDBusConnection::sessionBus(), m_reminderIdentifier, this,
                                  std::move(done));
}

void LaunchCoordinator::onActionRequested(const QString& actionName, const QVariantList& parameter,
                                          const WindowActivation& activation) {
    if (actionName == QLatin1String(chooseAction) && parameter.size() == 1 &&
        parameter.first().typeId() == QMetaType::QStringList) {
        m_delegate.openUrls(QUrl::fromStringList(parameter.first().toStringList()), false);
        m_delegate.activate(activation);
        return;
    }
    if (actionName != QLatin1String(ApplicationService::reminderResponseAction) ||
        parameter.size() != 1 || parameter.first().typeId() != QMetaType::QVariantMap)
        return;
    platform::notificationCenter().deliverResponse(parameter.first().toMap(), activation, [] {});
}

} // namespace marvoline
