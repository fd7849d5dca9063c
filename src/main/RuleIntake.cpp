// Rules at intake: the files that arrive are first looked at by the user's
// rules, which may hand them to an application at once or say how the chooser
// shows them.
#include "main/RuleIntake.h"

#include "main/AppDelegate.h"
#include "main/MainViewController.h"
#include "platform/AppRegistry.h"
#include "platform/FilePaths.h"
#include "platform/Platform.h"
#include "platform/RuleStore.h"

#include <QPointer>

#include <cstdlib>
#include <memory>

namespace marvoline {

namespace {

QByteArray realPath(const QByteArray& path) {
    const std::unique_ptr<char, decltype(&std::free)> resolved(
        ::realpath(path.constData(), nullptr), &std::free);
    return resolved ? QByteArray(resolved.get()) : path;
}

// The entry installed under the ID, when it is one that may be launched.
std::optional<QUrl> installedApplication(const QString& desktopId) {
    AppRegistry& registry = platform::registry();
    const std::optional<QUrl> app = registry.applicationForIdentifier(desktopId);
    if (!app)
        return std::nullopt;
    const std::optional<AppBundleInfo> info = registry.bundleInfo(*app);
    if (!info || AppRegistry::startsTheChooser(*info))
        return std::nullopt;
    return app;
}

} // namespace

std::optional<RuleDecision> decideByRules(const QList<Rule>& rules, const QList<QUrl>& files) {
    if (rules.isEmpty() || files.isEmpty())
        return std::nullopt;
    const bool typesAsked =
        std::any_of(rules.begin(), rules.end(), [](const Rule& rule) { return rule.type; });
    QList<RuleFile> looked;
    looked.reserve(files.size());
    for (const QUrl& file : files) {
        RuleFile entry{realPath(localPath(file)), std::nullopt};
        if (typesAsked)
            entry.type = MainViewController::contentTypeIdentifier(file);
        looked.append(entry);
    }
    QHash<QString, std::optional<QUrl>> installed;
    const auto isInstalled = [&installed](const QString& id) {
        if (!installed.contains(id))
            installed.insert(id, installedApplication(id));
        return installed.value(id).has_value();
    };
    const std::optional<qsizetype> index = decidingRule(rules, looked, isInstalled);
    if (!index)
        return std::nullopt;
    const Rule& rule = rules.at(*index);
    if (!rule.needsApplication())
        return RuleDecision{rule, QUrl()};
    const std::optional<QUrl> app = installed.value(rule.application);
    if (!app)
        return std::nullopt;
    return RuleDecision{rule, *app};
}

QString ruleInWords(const Rule& rule) {
    AppRegistry& registry = platform::registry();
    const auto typeName = [&registry](const QString& type) {
        return registry.contentTypeDescription(type).value_or(type);
    };
    const auto appName = [&registry](const QString& id) {
        const std::optional<QUrl> app = registry.applicationForIdentifier(id);
        const std::optional<AppBundleInfo> info = app ? registry.bundleInfo(*app) : std::nullopt;
        if (!info)
            return id;
        return info->localizedName.value_or(info->name.value_or(id));
    };
    return describeRule(rule, typeName, appName);
}

QString rulesText(const QList<Rule>& rules) {
    QString text;
    for (qsizetype i = 0; i < rules.size(); ++i)
        text += QString::number(i + 1) + QStringLiteral(". ") + ruleInWords(rules.at(i)) +
                QLatin1Char('\n');
    return text;
}

bool AppDelegate::takeByRules(const QList<QUrl>& urls) {
    pendingCountdownApp.reset();
    const std::optional<RuleDecision> decision = decideByRules(RuleStore::standard().rules(), urls);
    if (!decision)
        return false;
    switch (decision->rule.outcome) {
    case RuleOutcome::OpenAtOnce:
        openAtOnce(decision->application, urls);
        return true;
    case RuleOutcome::StartCountdown:
        pendingCountdownApp = decision->application;
        return false;
    case RuleOutcome::ShowWithoutCountdown:
        pendingSkipTimer = true;
        return false;
    }
    return false;
}

void AppDelegate::openAtOnce(const QUrl& app, const QList<QUrl>& urls) {
    // As a tile click opens them: the use is counted, no default is switched.
    MainViewController::recordAppUsage(app);
    // Without a chooser on screen the program ends after the launch, and
    // files that arrived meanwhile would be lost with it.
    const bool alone = !mainViewController;
    if (alone) {
        m_ruleLaunchesInFlight += 1;
        Q_EMIT launchStarted();
    }
    QPointer<AppDelegate> self(this);
    platform::registry().launch(app, urls, [self, app, urls, alone](const auto& error) {
        if (self)
            self->ruleLaunchFinished(app, urls, alone, error);
    });
}

void AppDelegate::ruleLaunchFinished(const QUrl& app, const QList<QUrl>& urls, bool alone,
                                     const std::optional<QString>& error) {
    if (alone)
        m_ruleLaunchesInFlight -= 1;
    if (!error) {
        Q_EMIT openedByRule(app, urls);
        if (alone && !mainViewController)
            terminate();
        return;
    }
    // The files are not lost: the chooser shows them, saying why (and takes
    // files again, through its launchFailed).
    pendingURLs = urls;
    if (mainViewController)
        showFiles(urls);
    else
        showWindow();
    if (mainViewController)
        mainViewController->showLaunchFailure(app, *error);
    else if (alone)
        Q_EMIT launchFailed();
}

} // namespace marvoline
