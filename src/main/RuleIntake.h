#pragma once

#include "handlers/Rule.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

namespace marvoline {

// What the first rule that holds for every file decides, with the
// application it names (empty for a rule that shows the chooser).
struct RuleDecision {
    Rule rule;
    QUrl application;
};

// Decides for the files by the rules, reading the files' real paths and, only
// when a rule asks for it, their content types; an application counts as
// installed when the registry has a loadable entry for it that does not start
// the chooser again.
std::optional<RuleDecision> decideByRules(const QList<Rule>& rules, const QList<QUrl>& files);

// The rule in words, naming the type as the shared MIME database does and
// the application as the desktop does.
QString ruleInWords(const Rule& rule);

// The rules of the user, one a line, as "--rules" prints them.
QString rulesText(const QList<Rule>& rules);

} // namespace marvoline
