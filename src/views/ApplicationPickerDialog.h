#pragma once

#include "platform/AppRegistry.h"

#include <QDialog>
#include <QList>
#include <QUrl>

#include <optional>

class QDialogButtonBox;
class QLineEdit;
class QListWidget;
class QListWidgetItem;

namespace marvoline {

// Picks any installed application: a list with icons and names, narrowed by a
// filter field as the user types, single selection, Open and Cancel. It shows
// at once with a "Loading…" row until it is given the applications; a filter
// that matches none says so in the list.
class ApplicationPickerDialog : public QDialog {
    Q_OBJECT

public:
    explicit ApplicationPickerDialog(QWidget* parent = nullptr);

    // Replaces the "Loading…" row with the applications, filtered by what has
    // been typed meanwhile.
    void setApplications(const QList<InstalledApp>& apps);
    bool isLoading() const { return m_loading; }

    // The selected application; absent when none is selected.
    std::optional<QUrl> selectedApplication() const;

    // Whether the text is part of the application's name, desktop ID or one of
    // its keywords, ignoring case. Every application matches an empty text.
    static bool matches(const InstalledApp& app, const QString& text);

private:
    void applyFilter(const QString& text);
    void updateOpenButton();

    QList<InstalledApp> m_apps;
    bool m_loading = true;
    // "Loading…", or the word that nothing matches: last in the list, never chosen.
    QListWidgetItem* m_notice = nullptr;
    QLineEdit* m_filter = nullptr;
    QListWidget* m_list = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
};

} // namespace marvoline
