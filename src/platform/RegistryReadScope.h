#pragma once

#include "platform/AppRegistry.h"

#include <QString>
#include <QUrl>

#include <map>
#include <optional>

namespace marvoline {

// While one is alive on a thread, the registry answers that thread's repeated
// questions from what it read the first time: a file's content type, a type's
// default application, an entry's identifier and its names. Showing files asks
// them several times over (whether the chooser is the default, which
// application counts down, the check box's text), each answer a reading of
// desktop entries and of the defaults.
//
// Only for work that runs to its end without returning to the event loop: the
// registry's own changes (making the chooser the default) drop what was kept,
// but changes made by others reach GIO through its file monitors, that is
// through the event loop, and are seen by the next scope. Scopes nest; other
// threads are not affected.
class RegistryReadScope {
public:
    struct Readings {
        std::map<QString, std::optional<QString>> contentTypes;  // by file URL
        std::map<QString, std::optional<QUrl>> defaults;         // by content type
        std::map<QString, std::optional<AppBundleInfo>> entries; // by entry URL
        std::map<QString, std::optional<QString>> identifiers;   // by entry URL
    };

    RegistryReadScope();
    ~RegistryReadScope();
    RegistryReadScope(const RegistryReadScope&) = delete;
    RegistryReadScope& operator=(const RegistryReadScope&) = delete;

    // What this thread's scopes have kept; null outside a scope.
    static Readings* readings();
    // Drops what this thread's scopes have kept, after the registry changed.
    static void forget();

    // The answer this thread's scopes kept under the key, else compute()'s,
    // kept when in a scope.
    template <typename Answer, typename Compute>
    static Answer remembered(std::map<QString, Answer> Readings::*kept, const QString& key,
                             Compute compute) {
        Readings* readings = RegistryReadScope::readings();
        if (!readings)
            return compute();
        if (const auto found = (readings->*kept).find(key); found != (readings->*kept).end())
            return found->second;
        Answer answer = compute();
        (readings->*kept).insert_or_assign(key, answer);
        return answer;
    }

    // Keeps, when in a scope, an answer read along with another one: the
    // entries a list of applications or a default look-up has just read.
    template <typename Answer>
    static void keep(std::map<QString, Answer> Readings::*kept, const QString& key, Answer answer) {
        if (Readings* readings = RegistryReadScope::readings())
            (readings->*kept).insert_or_assign(key, std::move(answer));
    }
};

} // namespace marvoline
