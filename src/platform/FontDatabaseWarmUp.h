#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

namespace marvoline {

// Gets the fonts ready on a thread of its own while the program starts, so that
// the window's first text does not wait for them on the window's thread: the
// system's font configuration is read while the application object connects to
// the display, and Qt's font database is filled from it while the session bus
// and the application registry answer.
//
// Made before the application object; applicationReady() once that exists;
// finish() before it goes. Qt guards its font database with one lock: text
// measured on the window's thread before the filling is done waits for it and
// the database is never filled twice.
class FontDatabaseWarmUp {
public:
    FontDatabaseWarmUp();
    // Finishes, if not done yet.
    ~FontDatabaseWarmUp();
    FontDatabaseWarmUp(const FontDatabaseWarmUp&) = delete;
    FontDatabaseWarmUp& operator=(const FontDatabaseWarmUp&) = delete;

    // The application object exists: the font database may be filled.
    void applicationReady();
    // Returns once the thread has ended. The database is left unfilled when
    // applicationReady() was not called.
    void finish();

private:
    enum class Stage { Waiting, Fill, Stop };
    void run();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    Stage m_stage = Stage::Waiting;
    std::thread m_thread;
};

} // namespace marvoline
