#pragma once
// Link operations off the window's thread. While one runs, the windows repaint, their timers go
// on and they take no input; after a delay a progress dialog says what it is doing, and its Cancel
// ends the operation within a fraction of a second, whatever it is waiting for.
#include <QWidget>
#include <functional>
#include <string>

#include "hwio/link.h"

namespace instrument {

// A link operation, run with the options it is given (their stop and progress hooks set). It
// runs on another thread: it works on copies, never on the windows or the application state.
using LinkJob = std::function<hwio::Result(const hwio::Options&)>;

// Runs `job` on a worker thread and waits, events going on, until it ends; returns its result
// and passes on what it threw. The progress dialog (a QProgressDialog named "dlgLinkProgress"
// over `parent`) shows `title` once the operation has run `delayMs`.
hwio::Result runLinkJob(QWidget* parent, const std::string& title, int delayMs, const hwio::Options& options,
                        const LinkJob& job);

}  // namespace instrument
