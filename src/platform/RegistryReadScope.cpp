#include "platform/RegistryReadScope.h"

namespace marvoline {

namespace {

struct ThreadReadings {
    int depth = 0;
    RegistryReadScope::Readings kept;
};

thread_local ThreadReadings threadReadings;

} // namespace

RegistryReadScope::RegistryReadScope() {
    ++threadReadings.depth;
}

RegistryReadScope::~RegistryReadScope() {
    if (--threadReadings.depth == 0)
        threadReadings.kept = {};
}

RegistryReadScope::Readings* RegistryReadScope::readings() {
    return threadReadings.depth > 0 ? &threadReadings.kept : nullptr;
}

void RegistryReadScope::forget() {
    threadReadings.kept = {};
}

} // namespace marvoline
