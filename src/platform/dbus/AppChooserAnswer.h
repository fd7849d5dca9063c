#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

#include <optional>

namespace marvoline::portal {

// How a request of the desktop portal's application chooser ended, as its
// reply's response code.
enum class Response : uint {
    Chosen = 0,    // the user picked an application
    Cancelled = 1, // the user dismissed the chooser
    Closed = 2,    // it ended otherwise: closed by the portal, its caller gone
};

// The portal names applications by their desktop file ID without the
// ".desktop" suffix ("org.gnome.eog"); GIO names them with it.
QString choiceId(const QString& desktopFileId);
QString desktopFileId(const QString& choiceId);

// The results of a reply: "choice" (the chosen application's ID in the
// portal's form) for Chosen, and "activation_token" when a token is given.
// Other responses carry no results.
QVariantMap results(Response response, const QString& chosenDesktopFileId = {},
                    const QString& activationToken = {});

// The file a request is about, from its options: "uri" when it is a local
// file URI, else "filename" when it is an absolute path (a path of the
// document portal too). Absent when neither names a local file.
std::optional<QUrl> requestedFile(const QVariantMap& options);

// The application to offer first: options' "last_choice" when it is one of
// the choices, else the first choice; absent without choices.
std::optional<QString> initialChoice(const QStringList& choices, const QVariantMap& options);

// The choices in the order to show: the initial one first, then the others
// in the order given, each once, without empty IDs.
QStringList orderedChoices(const QStringList& choices, const QVariantMap& options);

} // namespace marvoline::portal
