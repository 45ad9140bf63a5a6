#pragma once

// The Qt event loop in GoogleTest programs, which have no QTest to turn it.

#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>

namespace qln::test {

// The program's one QCoreApplication, made on first use.
inline QCoreApplication& coreApp()
{
    static int argc = 1;
    static char name[] = "test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication instance(argc, argv);
    return instance;
}

// Turns the event loop until `done` holds or `ms` have passed; what `done` then says.
inline bool waitFor(const std::function<bool()>& done, int ms = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// Turns the event loop for `ms`, for what must not happen in that time.
inline void spin(int ms)
{
    waitFor([] { return false; }, ms);
}

} // namespace qln::test
