#pragma once

#include "platform/WindowActivation.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantList>
#include <QVariantMap>

#include <vector>

namespace marvoline {

// The program's org.freedesktop.Application object: what the desktop, a later
// process of the program or the reminder agent call to reach the running
// chooser. Incoming calls become Qt signals; only the three methods of the
// interface are exported (SingleInstance registers it at objectPath).
//
// Open requests are coalesced: each one replaces the files of the one before
// it that has not been shown yet, and openRequested carries only the latest,
// once the event loop has taken in every request that arrived meanwhile. A
// flood of requests thus costs one showing per turn of the event loop instead
// of one each. A caller is answered once its request has been shown or
// replaced by a later one; one still waiting when the program stops taking
// requests gets closingError, so that it shows its files itself.
class ApplicationService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    static constexpr char interfaceName[] = "org.freedesktop.Application";
    static constexpr char objectPath[] = "/org/marvoline/Marvoline";
    // The error a call gets while the program takes no requests (a launch
    // under way, on its way out), so that the caller knows its files were not
    // taken.
    static constexpr char closingError[] = "org.marvoline.Marvoline.Error.Closing";
    // The action the reminder agent calls with the notification's user
    // information (one a{sv} parameter) when the user answers a reminder while
    // a chooser runs.
    static constexpr char reminderResponseAction[] = "reminder-response";

    explicit ApplicationService(QObject* parent = nullptr);
    ~ApplicationService() override;

    // Action names that ActivateAction passes on; calls of any other name are
    // ignored.
    void setAcceptedActions(const QStringList& names);

    // Once false, every call is answered with closingError and no signal is
    // emitted; Open requests not shown yet are dropped and answered so too.
    void setAcceptingRequests(bool accepting);
    bool isAcceptingRequests() const { return m_accepting; }

    // The URLs of Open's URI strings. Percent-encoded bytes are kept as they
    // are, so file names that are not UTF-8 survive; strings that are no URL
    // at all are left out.
    static QList<QUrl> urlsFromUris(const QStringList& uris);

public Q_SLOTS:
    Q_SCRIPTABLE void Activate(const QVariantMap& platformData);
    Q_SCRIPTABLE void Open(const QStringList& uris, const QVariantMap& platformData);
    Q_SCRIPTABLE void ActivateAction(const QString& actionName, const QVariantList& parameter,
                                     const QVariantMap& platformData);

Q_SIGNALS:
    // activation is what the caller's launcher gave it to bring a window to
    // the front (the platform data's "desktop-startup-id", "activation-token").
    void activateRequested(const marvoline::WindowActivation& activation);
    void openRequested(const QList<QUrl>& urls, const marvoline::WindowActivation& activation);
    // parameter holds plain Qt values: dictionaries arrive as QVariantMap,
    // arrays of strings as QStringList, other arrays as QVariantList.
    void actionRequested(const QString& actionName, const QVariantList& parameter,
                         const marvoline::WindowActivation& activation);

private:
    // A caller of Open waiting for its answer.
    struct WaitingCaller {
        QDBusConnection connection;
        QDBusMessage call;
    };

    bool refuseWhenClosing();
    // Emits the coalesced Open request, if any, and answers its callers.
    void showPendingOpen();
    // Answers every waiting caller with closingError and drops their request.
    void refusePendingOpen();

    QSet<QString> m_acceptedActions;
    bool m_accepting = true;
    bool m_openPending = false;
    bool m_showQueued = false;
    QList<QUrl> m_pendingUrls; // empty: the request only brings the chooser forward
    WindowActivation m_pendingActivation;
    std::vector<WaitingCaller> m_waitingCallers;
};

} // namespace marvoline
