#pragma once

// The one QGuiApplication of the map tests (fonts for the legend, images): a second one in
// the same process crashes at exit. Never destroyed, as Qt's own statics outlive it.

#include <QGuiApplication>

inline QGuiApplication& guiApp()
{
    static int argc = 1;
    static char name[] = "test";
    static char* argv[] = {name, nullptr};
    static auto* app = new QGuiApplication(argc, argv);
    return *app;
}
