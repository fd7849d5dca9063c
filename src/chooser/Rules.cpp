// The Rule button: a rule made for files like the ones on show decides for
// such files from then on (see main/RuleIntake.cpp); the same dialog lists,
// reorders and removes the rules there are.
#include "main/MainViewController.h"

#include "chooser/InstalledApplications.h"
#include "handlers/AppPaths.h"
#include "main/RuleIntake.h"
#include "platform/AppRegistry.h"
#include "platform/FilePaths.h"
#include "platform/Platform.h"
#include "platform/RuleStore.h"
#include "views/ApplicationPickerDialog.h"
#include "views/RuleDialog.h"

#include <QFutureWatcher>
#include <QPointer>

#include <cstdlib>
#include <memory>

namespace marvoline {

namespace {

QByteArray realFolder(const QByteArray& path) {
    const std::unique_ptr<char, decltype(&std::free)> resolved(
        ::realpath(path.constData(), nullptr), &std::free);
    return resolved ? QByteArray(resolved.get()) : path;
}

void showStoredRules(RuleDialog* dialog) {
    QList<std::pair<QString, QString>> lines;
    for (const Rule& rule : RuleStore::standard().rules())
        lines.append({rule.id, ruleInWords(rule)});
    dialog->setRules(lines);
}

// Runs the change on the writer thread, then shows the list as it is now, or
// says that the change was not saved.
void changeRules(RuleDialog* dialog, std::function<bool(RuleStore&)> change) {
    RuleStore::standard().changeInBackground(std::move(change), dialog, [dialog](bool saved) {
        //% "The rules could not be saved."
        dialog->showMessage(saved ? QString() : qtTrId("ui.rules.notSaved"));
        showStoredRules(dialog);
    });
}

} // namespace

QList<AppCandidate> MainViewController::withCountdownApplication(QList<AppCandidate> candidates,
                                                                 const QUrl& app) const {
    AppCandidate chosen;
    bool found = false;
    for (qsizetype i = 0; i < candidates.size(); ++i) {
        if (isSameApplication(candidates.at(i).url, app)) {
            chosen = candidates.takeAt(i);
            found = true;
            break;
        }
    }
    if (!found) {
        chosen.url = app;
        chosen.name = localizedAppName(app);
        chosen.icon = platform::registry().applicationIcon(app);
    }
    for (AppCandidate& candidate : candidates)
        candidate.isDefault = false;
    chosen.isDefault = true;
    candidates.prepend(chosen);
    return candidates;
}

void MainViewController::onRuleTapped() {
    pauseTimer();
    if (fileURLs.isEmpty())
        return;
    if (m_ruleDialog) {
        m_ruleDialog->raise();
        m_ruleDialog->activateWindow();
        return;
    }
    auto* dialog = new RuleDialog(window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    m_ruleDialog = dialog;

    const QUrl first = fileURLs.first();
    const QByteArray path = localPath(first);
    const std::optional<QString> type = contentTypeIdentifier(first);
    const QString typeName =
        type ? platform::registry().contentTypeDescription(*type).value_or(*type) : QString();
    dialog->setProposal(type, typeName, patternForName(path),
                        realFolder(path.left(std::max<qsizetype>(path.lastIndexOf('/'), 1))));
    QList<RuleDialog::Application> apps;
    for (const AppCandidate& candidate : allAppCandidates)
        apps.append({candidate.url, candidate.name, candidate.icon.value_or(QIcon())});
    dialog->setApplications(apps);
    showStoredRules(dialog);

    connect(dialog, &RuleDialog::addRequested, dialog, [dialog] {
        std::optional<Rule> rule = dialog->proposedRule();
        if (!rule)
            return;
        rule->id = newRuleId();
        if (!rule->folder.isEmpty())
            rule->folder = realFolder(rule->folder);
        if (rule->needsApplication()) {
            const std::optional<QUrl> app = dialog->proposedApplication();
            const std::optional<QString> id =
                app ? platform::registry().bundleIdentifier(*app) : std::nullopt;
            if (!id)
                return;
            rule->application = *id;
        }
        changeRules(dialog, [rule = *rule](RuleStore& store) { return store.add(rule); });
    });
    connect(dialog, &RuleDialog::removeRequested, dialog, [dialog](const QString& id) {
        changeRules(dialog, [id](RuleStore& store) { return store.remove(id); });
    });
    connect(dialog, &RuleDialog::moveRequested, dialog, [dialog](const QString& id, int offset) {
        changeRules(dialog, [id, offset](RuleStore& store) { return store.move(id, offset); });
    });
    QPointer<MainViewController> self(this);
    connect(dialog, &RuleDialog::otherApplicationRequested, dialog, [self, dialog] {
        auto* picker = new ApplicationPickerDialog(dialog);
        picker->setAttribute(Qt::WA_DeleteOnClose);
        auto* listing = new QFutureWatcher<QList<InstalledApp>>(picker);
        connect(listing, &QFutureWatcher<QList<InstalledApp>>::finished, picker, [picker, listing] {
            if (listing->future().resultCount() == 0)
                return;
            QList<InstalledApp> installed = listing->result();
            for (InstalledApp& app : installed)
                app.icon = platform::registry().installedAppIcon(app);
            picker->setApplications(installed);
        });
        listing->setFuture(listApplicationsInBackground());
        connect(picker, &QDialog::accepted, dialog, [self, dialog, picker] {
            const std::optional<QUrl> app = picker->selectedApplication();
            if (app && self)
                dialog->selectApplication({*app, self->localizedAppName(*app),
                                           platform::registry().applicationIcon(*app)});
        });
        picker->open();
    });
    dialog->open();
}

} // namespace marvoline
