#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class QMimeData;

namespace marvoline {

// What was copied stays on the clipboard after the chooser has ended.
//
// Where a clipboard manager runs (X11's CLIPBOARD_MANAGER), Qt hands the
// content over to it when the application object goes. Elsewhere the same
// executable is started as a small holder ("--hold-clipboard"), which takes
// the clipboard over and serves it until another program takes the clipboard,
// or for a day; on Wayland it has wl-copy serve it, since a program without a
// focused window cannot own a Wayland selection.
namespace clipboard {

// How long a holder serves what was copied.
constexpr int holdSeconds = 24 * 60 * 60;

// The clipboard content as bytes a holder reads back with unpack(): every
// format of the data, an image as PNG.
QByteArray pack(const QMimeData& data);
std::unique_ptr<QMimeData> unpack(const QByteArray& packed);

// Called when the chooser's window is gone and the event loop has ended: when
// this program owns the clipboard and no clipboard manager will take it,
// starts a holder with the content and waits (at most a few seconds, for
// nothing but the clipboard's own events) until the holder owns it.
void keepAfterExit();

// Whether the command line asks for a holder: "--hold-clipboard <x11|wayland> <file>".
bool isHolderCommand(int argc, char** argv);
// Runs the holder for the command line: reads and removes the file, serves its
// content. Returns the exit status.
int runHolder(int argc, char** argv);

} // namespace clipboard

} // namespace marvoline
