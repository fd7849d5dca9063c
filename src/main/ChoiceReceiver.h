#pragma once

#include <QList>
#include <QUrl>

namespace marvoline {

// Where the chooser's choice goes when another program asked for it and
// opens the files itself (the desktop portal): the chooser then offers the
// receiver's applications and launches nothing. Every way out that would
// launch (a tile, the overflow menu, Other…, a double click on the preview,
// the countdown's end) gives the application to applicationChosen; Close,
// Escape and a countdown without an application give choiceCancelled.
class ChoiceReceiver {
public:
    virtual ~ChoiceReceiver() = default;
    // The applications to offer (desktop entries' file URLs), in order; the
    // first is the default the countdown runs for.
    virtual QList<QUrl> offeredApplications() const = 0;
    virtual void applicationChosen(const QUrl& appURL) = 0;
    virtual void choiceCancelled() = 0;
};

} // namespace marvoline
