#include "platform/FontDatabaseWarmUp.h"

#include <QFontDatabase>

#include <fontconfig/fontconfig.h>

namespace marvoline {

FontDatabaseWarmUp::FontDatabaseWarmUp()
    : m_thread([this] { run(); }) {}

FontDatabaseWarmUp::~FontDatabaseWarmUp() {
    finish();
}

void FontDatabaseWarmUp::applicationReady() {
    {
        const std::lock_guard lock(m_mutex);
        if (m_stage == Stage::Waiting)
            m_stage = Stage::Fill;
    }
    m_changed.notify_one();
}

void FontDatabaseWarmUp::finish() {
    {
        const std::lock_guard lock(m_mutex);
        if (m_stage == Stage::Waiting)
            m_stage = Stage::Stop;
    }
    m_changed.notify_one();
    if (m_thread.joinable())
        m_thread.join();
}

void FontDatabaseWarmUp::run() {
    // Fontconfig loads its configuration once per process, whoever asks first:
    // Qt's font database finds it loaded.
    FcInit();
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_stage != Stage::Waiting; });
    if (m_stage != Stage::Fill)
        return;
    lock.unlock();
    QFontDatabase::families();
}

} // namespace marvoline
