#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QList>
#include <QObject>
#include <QUrl>
#include <QVariantList>
#include <QVariantMap>

#include <functional>

namespace marvoline {

class ApplicationService;

// One chooser per session. The first process owns the bus name and receives
// the files of every later process through its ApplicationService; a later
// process hands its files over and ends. Without a session bus every process
// stands alone.
//
// Nothing here waits for the bus: the claim and the hand-over are
// asynchronous calls whose outcome arrives as a signal from the event loop.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    static constexpr char busName[] = "org.marvoline.Marvoline";
    // How long a hand-over waits for the running chooser before this process
    // shows the files itself.
    static constexpr int forwardTimeoutMs = 10000;

    enum class Role { Undecided, Primary, Secondary, Standalone };
    Q_ENUM(Role)

    explicit SingleInstance(ApplicationService& service, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Exports the service, then claims the bus name. Exactly one of
    // becamePrimary(), isSecondary() and standalone() follows, always later
    // from the event loop, never from within start(). Only the first call
    // counts.
    void start();
    void start(const QDBusConnection& connection);

    // Hands the files to the running chooser (Open), or asks it to come to the
    // front (Activate) when there are none, with this process's platform data
    // (see WindowActivation). Only a secondary instance can forward;
    // forwarded(ok) follows when the answer has arrived (false for an error, a
    // timeout, or when this instance is not secondary).
    void forward(const QList<QUrl>& files, const QVariantMap& platformData = {});
    // Hands an action of org.freedesktop.Application to the running chooser
    // (ActivateAction), with this process's platform data; forwarded(ok)
    // follows as for forward().
    void forwardAction(const QString& actionName, const QVariantList& parameter,
                       const QVariantMap& platformData = {});

    // For a secondary instance whose files were not taken and that shows them
    // itself: exports the service again and claims the bus name, queueing
    // behind the running chooser when that still holds it, so that later
    // processes reach this one once the name is free. becamePrimary() follows
    // when the name is ours. When the name cannot be claimed, a line on
    // standard error says why.
    void claimAfterFallback();

    // For a process on its way out, before anything that can wait: takes the
    // service off the bus and gives the name up (without waiting for the
    // bus), so that a chooser started now becomes the running one at once
    // instead of handing its files to this one. Role becomes Standalone.
    void release();

    Role role() const { return m_role; }

Q_SIGNALS:
    void becamePrimary();
    void isSecondary();
    void standalone();
    void forwarded(bool ok);

private:
    void decide(Role role);
    void onNameRequestFinished(uint reply, bool failed);
    void sendToPrimary(const QDBusMessage& call);
    void requestName(uint flags, const std::function<void(uint reply, bool failed)>& answered);
    void onOwnerChanged(const QString& newOwner);

    ApplicationService& m_service;
    QDBusConnection m_connection;
    bool m_started = false;
    bool m_exported = false;
    bool m_claiming = false;
    Role m_role = Role::Undecided;
};

} // namespace marvoline
