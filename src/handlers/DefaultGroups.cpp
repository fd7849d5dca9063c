#include "handlers/DefaultGroups.h"

#include "handlers/AppPaths.h"

#include <algorithm>

namespace marvoline {

DefaultGroups groupByDefault(const QList<TypedFile>& files) {
    DefaultGroups groups;
    for (const TypedFile& typed : files) {
        if (!typed.app) {
            groups.unopened.append(typed.file);
            if (!groups.typesWithoutApp.contains(typed.type))
                groups.typesWithoutApp.append(typed.type);
            continue;
        }
        auto launch = std::find_if(
            groups.launches.begin(), groups.launches.end(),
            [&](const DefaultLaunch& l) { return isSameApplication(l.app, *typed.app); });
        if (launch == groups.launches.end())
            groups.launches.append({*typed.app, {typed.file}});
        else
            launch->files.append(typed.file);
    }
    return groups;
}

qsizetype distinctTypeCount(const QList<std::optional<QString>>& types) {
    QList<std::optional<QString>> seen;
    for (const std::optional<QString>& type : types) {
        if (!seen.contains(type))
            seen.append(type);
    }
    return seen.size();
}

} // namespace marvoline
