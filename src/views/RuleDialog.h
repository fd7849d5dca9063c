#pragma once

#include "handlers/Rule.h"

#include <QDialog>
#include <QIcon>
#include <QList>
#include <QUrl>

#include <optional>
#include <utility>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace marvoline {

// Makes a rule for files like the ones on show, and lists, reorders and
// removes the rules there are. The condition is any of the files' type, a
// glob on their names and a folder they are in; the outcome opens the files
// with the application at once, counts down to it, or shows the chooser
// without a countdown. The dialog only asks: whoever opened it stores the
// rules and gives the list back (setRules).
class RuleDialog : public QDialog {
    Q_OBJECT

public:
    struct Application {
        QUrl url;
        QString name;
        QIcon icon;
    };

    explicit RuleDialog(QWidget* parent = nullptr);

    // What a new rule starts from: the first file's type (absent when unknown)
    // in its own words, a glob from its name and its folder.
    void setProposal(const std::optional<QString>& type, const QString& typeName,
                     const QString& pattern, const QByteArray& folder);
    // The applications to choose from, first selected; "Other…" follows them.
    void setApplications(const QList<Application>& apps);
    // Selects the application, adding it before "Other…" when it is missing.
    void selectApplication(const Application& app);
    // The rules there are, in the order they are tried: identifier and words.
    void setRules(const QList<std::pair<QString, QString>>& rules);
    // A line under the list (a change that could not be saved); empty hides it.
    void showMessage(const QString& text);

    // The rule the controls describe, without identifier and application;
    // absent while they describe none.
    std::optional<Rule> proposedRule() const;
    std::optional<QUrl> proposedApplication() const;

    QCheckBox* typeBox = nullptr;
    QCheckBox* patternBox = nullptr;
    QLineEdit* patternEdit = nullptr;
    QCheckBox* folderBox = nullptr;
    QLineEdit* folderEdit = nullptr;
    QRadioButton* openRadio = nullptr;
    QRadioButton* countdownRadio = nullptr;
    QRadioButton* showRadio = nullptr;
    QComboBox* appCombo = nullptr;
    QPushButton* addButton = nullptr;
    QListWidget* ruleList = nullptr;
    QPushButton* upButton = nullptr;
    QPushButton* downButton = nullptr;
    QPushButton* removeButton = nullptr;
    QLabel* messageLabel = nullptr;

Q_SIGNALS:
    void addRequested();
    void removeRequested(const QString& id);
    void moveRequested(const QString& id, int offset);
    // "Other…" was chosen: the caller asks for an application
    // (selectApplication).
    void otherApplicationRequested();

private:
    void updateButtons();
    QString selectedRuleId() const;
    void onApplicationActivated(int index);

    std::optional<QString> m_type;
    QByteArray m_proposedFolder;
    int m_lastApplication = -1;
};

} // namespace marvoline
