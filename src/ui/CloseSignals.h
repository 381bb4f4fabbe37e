// SIGTERM, SIGINT and SIGHUP (kill, Ctrl+C in the terminal, the end of the session) close
// the program as the user closes the control panel: the parameter file is written and the
// port closed, so the line is free for the next start. The handler only notes the signal
// on a socket that the event loop watches; a second signal while the first is being
// handled ends the program at once.
#pragma once

class QWidget;

namespace myrl {

// Installs the handlers, once. A signal that comes before CloseOnSignals waits for it.
void CatchCloseSignals();

// From now on, closes `window` from the event loop (as the user does) for each such
// signal, and at once for one that came before. User-interface thread; `window` owns what
// watches the socket.
void CloseOnSignals(QWidget& window);

} // namespace myrl
