#include "views/RuleDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace marvoline {

namespace {

constexpr int idRole = Qt::UserRole;

} // namespace

RuleDialog::RuleDialog(QWidget* parent)
    : QDialog(parent) {
    //% "Rules"
    setWindowTitle(qtTrId("ui.rules.title"));
    setWindowModality(Qt::WindowModal);
    auto* layout = new QVBoxLayout(this);

    //% "New rule for files like these"
    auto* newRule = new QGroupBox(qtTrId("ui.rules.newRule"), this);
    auto* form = new QGridLayout(newRule);
    //% "When every file is"
    form->addWidget(new QLabel(qtTrId("ui.rules.when"), newRule), 0, 0, 1, 2);
    typeBox = new QCheckBox(newRule);
    form->addWidget(typeBox, 1, 0, 1, 2);
    //% "named"
    patternBox = new QCheckBox(qtTrId("ui.rules.named"), newRule);
    patternEdit = new QLineEdit(newRule);
    //% "A pattern such as *.pdf; any case"
    patternEdit->setToolTip(qtTrId("ui.rules.patternToolTip"));
    form->addWidget(patternBox, 2, 0);
    form->addWidget(patternEdit, 2, 1);
    //% "in the folder"
    folderBox = new QCheckBox(qtTrId("ui.rules.inFolder"), newRule);
    folderEdit = new QLineEdit(newRule);
    //% "Subfolders included"
    folderEdit->setToolTip(qtTrId("ui.rules.folderToolTip"));
    form->addWidget(folderBox, 3, 0);
    form->addWidget(folderEdit, 3, 1);

    //% "Then"
    form->addWidget(new QLabel(qtTrId("ui.rules.then"), newRule), 4, 0, 1, 2);
    //% "open them with the application at once"
    openRadio = new QRadioButton(qtTrId("ui.rules.openAtOnce"), newRule);
    //% "start the countdown on the application"
    countdownRadio = new QRadioButton(qtTrId("ui.rules.countdown"), newRule);
    //% "always show the chooser without a countdown"
    showRadio = new QRadioButton(qtTrId("ui.rules.showOnly"), newRule);
    openRadio->setChecked(true);
    form->addWidget(openRadio, 5, 0, 1, 2);
    form->addWidget(countdownRadio, 6, 0, 1, 2);
    form->addWidget(showRadio, 7, 0, 1, 2);
    //% "Application:"
    form->addWidget(new QLabel(qtTrId("ui.rules.application"), newRule), 8, 0);
    appCombo = new QComboBox(newRule);
    form->addWidget(appCombo, 8, 1);
    //% "Add Rule"
    addButton = new QPushButton(qtTrId("ui.rules.add"), newRule);
    addButton->setAutoDefault(false);
    form->addWidget(addButton, 9, 1, Qt::AlignRight);
    layout->addWidget(newRule);

    //% "Rules, in the order they are tried"
    auto* existing = new QGroupBox(qtTrId("ui.rules.list"), this);
    auto* listLayout = new QVBoxLayout(existing);
    ruleList = new QListWidget(existing);
    ruleList->setSelectionMode(QAbstractItemView::SingleSelection);
    // A rule's words wrap instead of scrolling sideways.
    ruleList->setWordWrap(true);
    ruleList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    listLayout->addWidget(ruleList);
    auto* listButtons = new QHBoxLayout;
    //% "Move Up"
    upButton = new QPushButton(qtTrId("ui.rules.up"), existing);
    //% "Move Down"
    downButton = new QPushButton(qtTrId("ui.rules.down"), existing);
    //% "Remove"
    removeButton = new QPushButton(qtTrId("ui.rules.remove"), existing);
    for (QPushButton* button : {upButton, downButton, removeButton}) {
        button->setAutoDefault(false);
        listButtons->addWidget(button);
    }
    listButtons->addStretch();
    listLayout->addLayout(listButtons);
    layout->addWidget(existing, 1);

    messageLabel = new QLabel(this);
    messageLabel->setWordWrap(true);
    messageLabel->setVisible(false);
    layout->addWidget(messageLabel);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    //% "Close"
    buttons->button(QDialogButtonBox::Close)->setText(qtTrId("ui.rules.close"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    for (QCheckBox* box : {typeBox, patternBox, folderBox})
        connect(box, &QCheckBox::toggled, this, &RuleDialog::updateButtons);
    for (QLineEdit* edit : {patternEdit, folderEdit})
        connect(edit, &QLineEdit::textChanged, this, &RuleDialog::updateButtons);
    for (QRadioButton* radio : {openRadio, countdownRadio, showRadio})
        connect(radio, &QRadioButton::toggled, this, &RuleDialog::updateButtons);
    connect(appCombo, &QComboBox::activated, this, &RuleDialog::onApplicationActivated);
    connect(ruleList, &QListWidget::currentRowChanged, this, &RuleDialog::updateButtons);
    connect(addButton, &QPushButton::clicked, this, &RuleDialog::addRequested);
    connect(removeButton, &QPushButton::clicked, this, [this] {
        if (const QString id = selectedRuleId(); !id.isEmpty())
            Q_EMIT removeRequested(id);
    });
    connect(upButton, &QPushButton::clicked, this, [this] {
        if (const QString id = selectedRuleId(); !id.isEmpty())
            Q_EMIT moveRequested(id, -1);
    });
    connect(downButton, &QPushButton::clicked, this, [this] {
        if (const QString id = selectedRuleId(); !id.isEmpty())
            Q_EMIT moveRequested(id, 1);
    });
    setApplications({});
    updateButtons();
    resize(std::max(sizeHint().width(), 560), sizeHint().height());
}

void RuleDialog::setProposal(const std::optional<QString>& type, const QString& typeName,
                             const QString& pattern, const QByteArray& folder) {
    m_type = type;
    if (type) {
        //% "of the type %1"
        typeBox->setText(qtTrId("ui.rules.ofType").arg(typeName));
    } else {
        //% "of this type (unknown)"
        typeBox->setText(qtTrId("ui.rules.unknownType"));
    }
    typeBox->setEnabled(type.has_value());
    typeBox->setChecked(type.has_value());
    patternEdit->setText(pattern);
    patternBox->setChecked(!type);
    m_proposedFolder = folder;
    folderEdit->setText(QFile::decodeName(folder));
    folderBox->setChecked(false);
    updateButtons();
}

void RuleDialog::setApplications(const QList<Application>& apps) {
    appCombo->clear();
    for (const Application& app : apps)
        appCombo->addItem(app.icon, app.name, app.url);
    //% "Other…"
    appCombo->addItem(qtTrId("ui.rules.other"));
    m_lastApplication = apps.isEmpty() ? -1 : 0;
    appCombo->setCurrentIndex(m_lastApplication);
    updateButtons();
}

void RuleDialog::selectApplication(const Application& app) {
    int index = appCombo->findData(app.url);
    if (index < 0) {
        index = appCombo->count() - 1;
        appCombo->insertItem(index, app.icon, app.name, app.url);
    }
    m_lastApplication = index;
    appCombo->setCurrentIndex(index);
    updateButtons();
}

void RuleDialog::setRules(const QList<std::pair<QString, QString>>& rules) {
    const QString selected = selectedRuleId();
    ruleList->clear();
    for (const auto& [id, words] : rules) {
        auto* item = new QListWidgetItem(words, ruleList);
        item->setData(idRole, id);
        item->setToolTip(words);
        if (id == selected)
            ruleList->setCurrentItem(item);
    }
    if (rules.isEmpty()) {
        //% "No rules yet: the chooser shows every file."
        auto* none = new QListWidgetItem(qtTrId("ui.rules.none"), ruleList);
        none->setFlags(Qt::NoItemFlags);
    }
    updateButtons();
}

void RuleDialog::showMessage(const QString& text) {
    messageLabel->setText(text);
    messageLabel->setVisible(!text.isEmpty());
}

std::optional<Rule> RuleDialog::proposedRule() const {
    Rule rule;
    if (typeBox->isChecked() && m_type)
        rule.type = m_type;
    if (patternBox->isChecked()) {
        rule.pattern = patternEdit->text().trimmed();
        if (rule.pattern.isEmpty())
            return std::nullopt;
    }
    if (folderBox->isChecked()) {
        // The proposed folder as it is named on disk, which need not be UTF-8;
        // a folder typed in is taken as text.
        const QString typed = folderEdit->text().trimmed();
        rule.folder = typed == QFile::decodeName(m_proposedFolder) ? m_proposedFolder
                                                                   : QFile::encodeName(typed);
        if (!rule.folder.startsWith('/'))
            return std::nullopt;
    }
    if (!rule.hasCondition())
        return std::nullopt;
    rule.outcome = openRadio->isChecked()        ? RuleOutcome::OpenAtOnce
                   : countdownRadio->isChecked() ? RuleOutcome::StartCountdown
                                                 : RuleOutcome::ShowWithoutCountdown;
    return rule;
}

std::optional<QUrl> RuleDialog::proposedApplication() const {
    const QVariant url = appCombo->currentData();
    if (!url.isValid())
        return std::nullopt;
    return url.toUrl();
}

void RuleDialog::updateButtons() {
    patternEdit->setEnabled(patternBox->isChecked());
    folderEdit->setEnabled(folderBox->isChecked());
    appCombo->setEnabled(!showRadio->isChecked());
    const std::optional<Rule> rule = proposedRule();
    addButton->setEnabled(rule && (!rule->needsApplication() || proposedApplication()));
    const int row = ruleList->currentRow();
    const bool isRule = !selectedRuleId().isEmpty();
    upButton->setEnabled(isRule && row > 0);
    downButton->setEnabled(isRule && row + 1 < ruleList->count());
    removeButton->setEnabled(isRule);
}

QString RuleDialog::selectedRuleId() const {
    const QListWidgetItem* item = ruleList->currentItem();
    return item ? item->data(idRole).toString() : QString();
}

void RuleDialog::onApplicationActivated(int index) {
    if (index == appCombo->count() - 1) {
        // "Other…" is not an application: the one chosen before stays until
        // another is picked.
        appCombo->setCurrentIndex(m_lastApplication);
        Q_EMIT otherApplicationRequested();
        return;
    }
    m_lastApplication = index;
    updateButtons();
}

} // namespace marvoline
