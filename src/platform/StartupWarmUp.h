#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace marvoline {

// Does on a thread of its own, while the program starts, the reading that the
// window's thread would otherwise wait for before its first frame: the
// system's font configuration and the application folders' desktop entries
// while the application object connects to the display, then Qt's font
// database while the session bus and the registry answer.
//
// Made before the application object; applicationReady() once that exists;
// finish() before it goes. GIO loads its state once per process, whoever asks
// first, and Qt guards its font database with one lock: the window's thread
// asking meanwhile waits for the thread or does the reading itself, and gets
// the same answers. Fontconfig does not wait: a second thread asking while the
// first reads the configuration reads all of it again. applicationReady()
// therefore returns once the configuration is read, before the window's thread
// can ask Qt for a font (on an idle machine it is read by then).
class StartupWarmUp {
public:
    StartupWarmUp();
    // With another reading of the font configuration than fontconfig's, for tests.
    explicit StartupWarmUp(std::function<void()> readFontConfiguration);
    // Finishes, if not done yet.
    ~StartupWarmUp();
    StartupWarmUp(const StartupWarmUp&) = delete;
    StartupWarmUp& operator=(const StartupWarmUp&) = delete;

    // The application object exists: the font database may be filled. Returns
    // once the font configuration has been read.
    void applicationReady();
    // Returns once the thread has ended. The font database is left unfilled
    // when applicationReady() was not called.
    void finish();

private:
    enum class Stage { Waiting, Fill, Stop };
    void run();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    Stage m_stage = Stage::Waiting;
    bool m_fontConfigurationRead = false;
    std::function<void()> m_readFontConfiguration;
    std::thread m_thread;
};

} // namespace marvoline
