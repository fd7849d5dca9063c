#pragma once

#include <QLoggingCategory>

namespace marvoline {

// What a developer needs to see of failures that the user is not told about.
// Warnings only by default; QT_LOGGING_RULES="marvoline.debug=true" shows more.
Q_DECLARE_LOGGING_CATEGORY(lcMarvoline)

} // namespace marvoline
