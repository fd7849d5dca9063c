#pragma once

#include "handlers/AppCandidate.h"

#include <QList>
#include <QUrl>

namespace marvoline {

class MainViewController;

// The candidate list for the file, built from the applications the registry
// lists for it (MainViewController::loadAppCandidates passes the registry's
// own answer). The answer is taken as it comes: entries without a desktop ID,
// the chooser itself and repeated paths are dropped here.
QList<AppCandidate> appCandidatesFromAnswer(const MainViewController& controller,
                                            const QUrl& fileURL, const QList<QUrl>& answer);

} // namespace marvoline
