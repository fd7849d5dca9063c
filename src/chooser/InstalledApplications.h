#pragma once

#include "platform/AppRegistry.h"

#include <QFuture>
#include <QList>

namespace marvoline {

// Every installed application (AppRegistry::allApplications), listed on a
// thread of its own that is never waited for.
QFuture<QList<InstalledApp>> listApplicationsInBackground();

} // namespace marvoline
