#include "platform/StartupWarmUp.h"

#include "platform/gio/GioAppRegistry.h"

#include <QFontDatabase>

#include <fontconfig/fontconfig.h>

namespace marvoline {

StartupWarmUp::StartupWarmUp()
    : StartupWarmUp([] { FcInit(); }) {}

StartupWarmUp::StartupWarmUp(std::function<void()> readFontConfiguration)
    : m_readFontConfiguration(std::move(readFontConfiguration))
    , m_thread([this] { run(); }) {}

StartupWarmUp::~StartupWarmUp() {
    finish();
}

void StartupWarmUp::applicationReady() {
    std::unique_lock lock(m_mutex);
    if (m_stage == Stage::Waiting)
        m_stage = Stage::Fill;
    m_changed.notify_all();
    m_changed.wait(lock, [this] { return m_fontConfigurationRead; });
}

void StartupWarmUp::finish() {
    {
        const std::lock_guard lock(m_mutex);
        if (m_stage == Stage::Waiting)
            m_stage = Stage::Stop;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void StartupWarmUp::run() {
    m_readFontConfiguration();
    {
        const std::lock_guard lock(m_mutex);
        m_fontConfigurationRead = true;
    }
    m_changed.notify_all();
    GioAppRegistry::readApplicationFolders();
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_stage != Stage::Waiting; });
    if (m_stage != Stage::Fill)
        return;
    lock.unlock();
    QFontDatabase::families();
}

} // namespace marvoline
