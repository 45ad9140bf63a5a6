#pragma once

// SIGTERM and SIGINT (a session ending, kill, Ctrl+C) close the window as File > Exit does,
// so the viewer is still told EXIT and the companion's sockets are removed on the way out.

class QWidget;

// Installs the handlers; call once, after the window exists. The window must outlive the
// application's event loop.
void closeOnTerminationSignals(QWidget& window);
