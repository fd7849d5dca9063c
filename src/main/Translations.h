#pragma once

class QCoreApplication;

namespace marvoline {

// Loads the program's translation for the user's languages, English when none
// of them is shipped, so that no text key ever reaches the screen.
// Returns false only when not even English could be loaded.
bool installTranslations(QCoreApplication& app);

} // namespace marvoline
