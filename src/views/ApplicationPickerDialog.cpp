#include "views/ApplicationPickerDialog.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace marvoline {

namespace {

constexpr int urlRole = Qt::UserRole;
constexpr int listIconSize = 32;

} // namespace

ApplicationPickerDialog::ApplicationPickerDialog(QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("applicationPicker"));
    //% "Choose an Application"
    setWindowTitle(qtTrId("ui.picker.title"));
    resize(420, 480);

    auto* layout = new QVBoxLayout(this);
    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("filter"));
    //% "Search applications"
    m_filter->setPlaceholderText(qtTrId("ui.picker.filter"));
    m_filter->setClearButtonEnabled(true);
    layout->addWidget(m_filter);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("applications"));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setIconSize(QSize(listIconSize, listIconSize));
    m_list->setUniformItemSizes(true);
    //% "Loading…"
    m_notice = new QListWidgetItem(qtTrId("ui.picker.loading"), m_list);
    m_notice->setFlags(Qt::NoItemFlags);
    // With uniform sizes the list measures every row by its last one, the
    // notice: an empty space where the applications have their icons makes it
    // as tall as theirs, and lines its text up with their names.
    QPixmap noIcon(listIconSize, listIconSize);
    noIcon.fill(Qt::transparent);
    m_notice->setIcon(QIcon(noIcon));
    layout->addWidget(m_list, 1);

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    //% "Open"
    m_buttons->button(QDialogButtonBox::Ok)->setText(qtTrId("ui.picker.open"));
    //% "Cancel"
    m_buttons->button(QDialogButtonBox::Cancel)->setText(qtTrId("ui.picker.cancel"));
    layout->addWidget(m_buttons);

    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_filter, &QLineEdit::textChanged, this, &ApplicationPickerDialog::applyFilter);
    connect(m_list, &QListWidget::itemSelectionChanged, this,
            &ApplicationPickerDialog::updateOpenButton);
    connect(m_list, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        if (item && !item->isHidden())
            accept();
    });
    updateOpenButton();
    m_filter->setFocus();
}

void ApplicationPickerDialog::setApplications(const QList<InstalledApp>& apps) {
    m_apps = apps;
    m_loading = false;
    // Before the notice, which stays last.
    for (qsizetype i = 0; i < m_apps.size(); ++i) {
        const InstalledApp& app = m_apps.at(i);
        auto* item = new QListWidgetItem(app.icon, app.name);
        item->setData(urlRole, app.url);
        item->setToolTip(app.identifier);
        m_list->insertItem(int(i), item);
    }
    applyFilter(m_filter->text());
}

bool ApplicationPickerDialog::matches(const InstalledApp& app, const QString& text) {
    const QString needle = text.trimmed();
    if (needle.isEmpty())
        return true;
    if (app.name.contains(needle, Qt::CaseInsensitive) ||
        app.identifier.contains(needle, Qt::CaseInsensitive))
        return true;
    return std::any_of(app.keywords.begin(), app.keywords.end(), [&needle](const QString& word) {
        return word.contains(needle, Qt::CaseInsensitive);
    });
}

void ApplicationPickerDialog::applyFilter(const QString& text) {
    if (m_loading)
        return; // applied to the list once it is there
    QListWidgetItem* firstShown = nullptr;
    for (int row = 0; row < int(m_apps.size()); ++row) {
        QListWidgetItem* item = m_list->item(row);
        const bool shown = matches(m_apps.at(row), text);
        item->setHidden(!shown);
        if (!shown)
            item->setSelected(false);
        else if (!firstShown)
            firstShown = item;
    }
    // Typing and pressing Enter opens the best match.
    if (m_list->selectedItems().isEmpty() && firstShown && !text.trimmed().isEmpty())
        m_list->setCurrentItem(firstShown);
    if (text.trimmed().isEmpty()) {
        //% "No applications are installed"
        m_notice->setText(qtTrId("ui.picker.none"));
    } else {
        //% "No application matches “%1”"
        m_notice->setText(qtTrId("ui.picker.noMatch").arg(text.trimmed()));
    }
    m_notice->setHidden(firstShown != nullptr);
    updateOpenButton();
}

void ApplicationPickerDialog::updateOpenButton() {
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(selectedApplication().has_value());
}

std::optional<QUrl> ApplicationPickerDialog::selectedApplication() const {
    const QList<QListWidgetItem*> selected = m_list->selectedItems();
    if (selected.isEmpty() || selected.first()->isHidden())
        return std::nullopt;
    return selected.first()->data(urlRole).toUrl();
}

} // namespace marvoline
