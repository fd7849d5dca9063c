#pragma once

#include "platform/AppRegistry.h"

#include <QDialog>
#include <QList>
#include <QUrl>

#include <optional>

class QDialogButtonBox;
class QLineEdit;
class QListWidget;

namespace marvoline {

// Picks any installed application: a list with icons and names, narrowed by a
// filter field as the user types, single selection, Open and Cancel.
class ApplicationPickerDialog : public QDialog {
    Q_OBJECT

public:
    explicit ApplicationPickerDialog(const QList<InstalledApp>& apps, QWidget* parent = nullptr);

    // The selected application; absent when none is selected.
    std::optional<QUrl> selectedApplication() const;

    // Whether the text is part of the application's name, desktop ID or one of
    // its keywords, ignoring case. Every application matches an empty text.
    static bool matches(const InstalledApp& app, const QString& text);

private:
    void applyFilter(const QString& text);
    void updateOpenButton();

    QList<InstalledApp> m_apps;
    QLineEdit* m_filter = nullptr;
    QListWidget* m_list = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
};

} // namespace marvoline
