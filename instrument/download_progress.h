#pragma once
// The progress dialog of a download, with Cancel; it appears only when the transfer lasts
// longer than `delayMs`.
#include <QPointer>
#include <QProgressDialog>
#include <QWidget>

#include "hwio/link.h"

namespace instrument {

class DownloadProgress {
public:
    DownloadProgress(QWidget* parent, int delayMs);
    ~DownloadProgress();
    DownloadProgress(const DownloadProgress&) = delete;
    DownloadProgress& operator=(const DownloadProgress&) = delete;

    // For hwio::Options::progress: moves the bar and keeps the window responsive; false once
    // Cancel was pressed.
    hwio::Progress callback();
    QProgressDialog* dialog() const { return dialog_; }

private:
    QPointer<QProgressDialog> dialog_;
};

}  // namespace instrument
