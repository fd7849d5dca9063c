#include "platform/Logging.h"

namespace marvoline {

Q_LOGGING_CATEGORY(lcMarvoline, "marvoline", QtWarningMsg)

} // namespace marvoline
