#include "instrument/download_progress.h"

namespace instrument {

namespace {
constexpr int kSteps = 1000;
}

DownloadProgress::DownloadProgress(QWidget* parent, int delayMs)
    : dialog_(new QProgressDialog("Downloading the waveform to the signal generator...", "Cancel", 0, kSteps, parent)) {
    dialog_->setObjectName("dlgDownloadProgress");
    dialog_->setWindowTitle("Download");
    // Modal: setValue then handles events, so Cancel is seen between pieces of the transfer.
    dialog_->setWindowModality(Qt::ApplicationModal);
    dialog_->setMinimumDuration(delayMs);
    dialog_->setAutoReset(false);
    dialog_->setValue(0);
}

DownloadProgress::~DownloadProgress() { delete dialog_.data(); }

hwio::Progress DownloadProgress::callback() {
    return [d = dialog_](std::size_t sent, std::size_t total) {
        if (!d) return true;
        if (d->wasCanceled()) return false;
        d->setValue(total ? static_cast<int>(static_cast<double>(sent) / static_cast<double>(total) * kSteps) : kSteps);
        return !d->wasCanceled();
    };
}

}  // namespace instrument
