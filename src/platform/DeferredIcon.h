#pragma once

#include <QIcon>

#include <functional>

namespace marvoline {

// An icon looked up the first time it is drawn or measured: resolve runs
// then, once, and what it returns is drawn from then on by every copy of the
// icon. A list of applications thus looks up the icons of those it shows
// only. resolve must return an icon that is not null (a fallback at the
// least), since the icon says it is not null without looking; it runs on the
// thread that first draws or measures the icon, which must be the window's.
QIcon deferredIcon(std::function<QIcon()> resolve);

} // namespace marvoline
