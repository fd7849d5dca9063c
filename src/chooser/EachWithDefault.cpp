// Files of several types on show: the row still offers the first file's
// applications, and one more tile opens every file with the default
// application of its own type. The preview's corner says how many files and
// types are queued.

#include "main/MainViewController.h"

#include "handlers/DefaultGroups.h"
#include "platform/AppRegistry.h"
#include "platform/Platform.h"
#include "views/AppIconButton.h"
#include "views/SymbolIcons.h"

#include <QCheckBox>
#include <QHash>
#include <QLabel>
#include <QLayout>
#include <QPointer>
#include <QSet>
#include <QTextDocument>

#include <memory>
#include <utility>

namespace marvoline {

namespace {

// The types in the words of the set-default check box, each once.
QString describeTypes(const QList<std::optional<QString>>& types) {
    QStringList names;
    for (const std::optional<QString>& type : types) {
        std::optional<QString> description;
        if (type)
            description = platform::registry().contentTypeDescription(*type);
        //% "files of an unknown type"
        const QString name = description && !description->isEmpty()
                                 ? *description
                                 : qtTrId("ui.eachDefault.unknownType");
        if (!names.contains(name))
            names.append(name);
    }
    //% ", "
    return names.join(qtTrId("ui.listSeparator"));
}

// The answers of the launches of one press of the tile.
struct EachLaunches {
    int outstanding = 0;
    QSet<QUrl> failedFiles;
    std::optional<std::pair<QUrl, QString>> firstFailure; // application, GIO's text
};

} // namespace

bool MainViewController::showsMixedTypes() const {
    return distinctTypeCount(fileTypes) > 1;
}

double MainViewController::applicationsWidth() const {
    const double width = rowWidth();
    return showsMixedTypes() ? width - (appButtonWidth + appButtonSpacing) : width;
}

void MainViewController::addEachTile() {
    auto* tile = new AppIconButton;
    tile->setObjectName(QStringLiteral("eachWithDefaultTile"));
    //% "Each with its own default"
    tile->configure(
        QIcon::fromTheme(QStringLiteral("document-open"), symbolIcon(QStringLiteral("doc.on.doc"))),
        qtTrId("ui.eachDefault"), std::nullopt, false);
    // It opens no one application: named as it reads, not "Open with …".
    tile->setAccessibleName(tile->title());
    //% "Opens every file with the default application of its type"
    tile->setAccessibleDescription(qtTrId("ui.eachDefault.description"));
    tile->setToolTip(tile->accessibleDescription());
    QPointer<MainViewController> self(this);
    tile->onClick = [self] {
        if (self)
            self->openEachWithItsDefault();
    };
    appStackView->layout()->addWidget(tile);
    tile->show();
    eachTile = tile;
}

void MainViewController::openEachWithItsDefault() {
    if (launchInFlight || fileURLs.isEmpty())
        return;
    pauseTimer();

    // One look at the registry per type; the defaults are read before the
    // set-default option changes any of them.
    QList<TypedFile> typed;
    QHash<QString, std::optional<QUrl>> defaults;
    for (qsizetype i = 0; i < fileURLs.size(); ++i) {
        const QUrl& file = fileURLs.at(i);
        const std::optional<QString> type =
            i < fileTypes.size() ? fileTypes.at(i) : contentTypeIdentifier(file);
        std::optional<QUrl> app;
        if (type) {
            auto known = defaults.find(*type);
            if (known == defaults.end())
                known = defaults.insert(*type, typeDefaultApp(file));
            app = *known;
        }
        typed.append({file, type, app});
    }
    const DefaultGroups groups = groupByDefault(typed);

    QString missing;
    if (!groups.typesWithoutApp.isEmpty()) {
        //% "No default application for %1; those files stay here."
        missing = qtTrId("ui.eachDefault.noDefault").arg(describeTypes(groups.typesWithoutApp));
    }
    if (groups.launches.isEmpty()) {
        messageLabel->setText(missing);
        messageLabel->setToolTip(QString());
        messageLabel->setVisible(true);
        return;
    }

    performSetDefaultIfNeeded(fileURLs.first());
    launchInFlight = true;
    Q_EMIT launchStarted();
    auto state = std::make_shared<EachLaunches>();
    state->outstanding = int(groups.launches.size());
    const QList<QUrl> unopened = groups.unopened;
    QPointer<MainViewController> self(this);
    for (const DefaultLaunch& launch : groups.launches) {
        recordAppUsage(launch.app);
        const QList<QUrl> files = launch.files;
        const QUrl app = launch.app;
        platform::registry().launch(
            app, files, [self, state, app, files, unopened, missing](const auto& error) {
                if (error) {
                    for (const QUrl& file : files)
                        state->failedFiles.insert(file);
                    if (!state->firstFailure)
                        state->firstFailure = std::pair(app, *error);
                }
                if (--state->outstanding > 0 || !self)
                    return;
                self->launchInFlight = false;
                QList<QUrl> kept;
                for (const QUrl& file : std::as_const(self->fileURLs)) {
                    if (unopened.contains(file) || state->failedFiles.contains(file))
                        kept.append(file);
                }
                if (kept.isEmpty() || self->quitAfterLaunch) {
                    self->leave(self->fileURLs);
                    return;
                }
                QStringList message;
                if (!missing.isEmpty())
                    message.append(missing);
                if (state->firstFailure) {
                    //% "%1 could not open the files. Choose another application."
                    message.append(qtTrId("ui.launchFailed")
                                       .arg(self->shownAppName(state->firstFailure->first)));
                }
                self->keepUnopenedFiles(kept, message.join(QLatin1Char('\n')),
                                        state->firstFailure ? state->firstFailure->second
                                                            : QString());
            });
    }
}

void MainViewController::keepUnopenedFiles(const QList<QUrl>& kept, const QString& message,
                                           const QString& detail) {
    // The switch asked for was made for the first file on show before: it is
    // not asked for again for the files that stay.
    setDefaultButton->setChecked(false);
    configure(kept, isOpenAsContext, skipTimer);
    showFiles();
    pauseTimer();
    messageLabel->setText(message);
    // GIO's error text, as for a failed launch of the row.
    messageLabel->setToolTip(detail.isEmpty() ? QString() : Qt::convertFromPlainText(detail));
    messageLabel->setVisible(true);
    Q_EMIT filesKept(kept);
    Q_EMIT launchFailed(message);
}

void MainViewController::updateSelectionSummary() {
    if (!selectionSummary) {
        selectionSummary = new QLabel(previewContainer);
        selectionSummary->setObjectName(QStringLiteral("selectionSummary"));
        selectionSummary->setTextFormat(Qt::PlainText);
        selectionSummary->setMargin(4);
        selectionSummary->setAutoFillBackground(true);
        selectionSummary->setBackgroundRole(QPalette::ToolTipBase);
        selectionSummary->setForegroundRole(QPalette::ToolTipText);
    }
    const auto files = int(fileURLs.size());
    if (files < 2) {
        selectionSummary->hide();
        return;
    }
    const auto types = int(distinctTypeCount(fileTypes));
    //% "%n file | %n files"
    const QString filesText = qtTrId("ui.summary.files", files);
    //% "%n type | %n types"
    const QString typesText = qtTrId("ui.summary.types", types);
    //% "%1, %2"
    selectionSummary->setText(qtTrId("ui.summary").arg(filesText, typesText));
    selectionSummary->adjustSize();
    placeSelectionSummary();
    selectionSummary->show();
    selectionSummary->raise();
}

void MainViewController::placeSelectionSummary() {
    if (!selectionSummary)
        return;
    // The bottom right corner, clear of the edges; the left in right-to-left.
    constexpr int inset = 6;
    const QSize size = selectionSummary->size();
    const int x = layoutDirection() == Qt::RightToLeft
                      ? inset
                      : previewContainer->width() - size.width() - inset;
    selectionSummary->move(x, previewContainer->height() - size.height() - inset);
}

} // namespace marvoline
