// Adds rules one by one, as the rule dialog does:
//   marvoline_add_rules RULES_FILE ID_PREFIX TIMES
// Used by the rules test to write from two processes at once.

#include "platform/RuleStore.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    bool ok = false;
    const int times = args.size() == 4 ? args.at(3).toInt(&ok) : 0;
    if (!ok || times < 0) {
        std::fputs("usage: marvoline_add_rules RULES_FILE ID_PREFIX TIMES\n", stderr);
        return 2;
    }
    marvoline::RuleStore store(args.at(1));
    for (int i = 0; i < times; ++i) {
        marvoline::Rule rule;
        rule.id = args.at(2) + QString::number(i);
        rule.pattern = QStringLiteral("*.x");
        if (!store.add(rule))
            return 1;
    }
    return 0;
}
