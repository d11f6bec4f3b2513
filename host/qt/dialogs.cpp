#include "host/qt/dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "host/core/wrap_text.h"

namespace host {

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

QWidget* activeParent() { return QApplication::activeWindow(); }

// A label shows "&" as itself, not as the mark of a keyboard shortcut.
QString literalLabel(const std::string& label) { return q(label).replace('&', "&&"); }

// A message box that keeps the buttons in the order given and tells a close by the window's frame
// from a button: the frame (and Escape where no button means "Cancel") answers nothing.
class AnswerBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;
    bool closedByFrame = false;

protected:
    void closeEvent(QCloseEvent* event) override {
        closedByFrame = true;
        QDialog::closeEvent(event);
    }
    void keyPressEvent(QKeyEvent* event) override {
        if (event->matches(QKeySequence::Cancel) && !escapeButton()) {
            close();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
};

std::string askWithButtons(QMessageBox::Icon icon, const std::string& title, const std::string& text,
                           const std::vector<std::string>& buttons, const std::string& defaultButton) {
    AnswerBox box(activeParent());
    box.setIcon(icon);
    box.setWindowTitle(q(title));
    box.setTextFormat(Qt::PlainText);
    box.setText(q(wrapText(text)));
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    std::vector<std::pair<QAbstractButton*, std::string>> made;
    for (const auto& label : buttons) {
        // One role for all: the button box would otherwise reorder them by role.
        QPushButton* b = box.addButton(literalLabel(label), QMessageBox::ActionRole);
        made.emplace_back(b, label);
        if (label == defaultButton) box.setDefaultButton(b);
        if (label == "Cancel" || buttons.size() == 1) box.setEscapeButton(b);
    }
    box.exec();
    if (box.closedByFrame) return {};
    for (const auto& [button, label] : made)
        if (button == box.clickedButton()) return label;
    return {};
}

std::optional<FileChoice> split(const QString& path) {
    if (path.isEmpty()) return std::nullopt;
    const QFileInfo info(path);
    QString dir = QDir::toNativeSeparators(info.absolutePath());
    if (!dir.endsWith(QDir::separator())) dir += QDir::separator();
    return FileChoice{dir.toStdString(), info.fileName().toStdString()};
}

QString filterText(const std::string& filter) { return q(filter) + " (" + q(filter) + ");;All files (*)"; }

}  // namespace

std::string QtDialogs::question(const std::string& title, const std::string& text,
                                const std::vector<std::string>& buttons, const std::string& defaultButton) {
    return askWithButtons(QMessageBox::Question, title, text, buttons, defaultButton);
}

void QtDialogs::message(const std::string& title, const std::string& text) {
    askWithButtons(QMessageBox::Information, title, text, {"OK"}, "OK");
}

void QtDialogs::error(const std::string& title, const std::string& text) {
    askWithButtons(QMessageBox::Critical, title, text, {"OK"}, "OK");
}

std::optional<std::vector<std::string>> QtDialogs::input(const std::string& title,
                                                         const std::vector<std::string>& prompts,
                                                         const std::vector<std::string>& defaults) {
    QDialog dialog(activeParent());
    dialog.setWindowTitle(q(title));
    auto* layout = new QVBoxLayout(&dialog);
    std::vector<QLineEdit*> edits;
    for (std::size_t i = 0; i < prompts.size(); ++i) {
        layout->addWidget(new QLabel(q(prompts[i])));
        auto* e = new QLineEdit(i < defaults.size() ? q(defaults[i]) : QString());
        e->setMinimumWidth(260);
        layout->addWidget(e);
        edits.push_back(e);
    }
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(box, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(box);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    std::vector<std::string> out;
    for (auto* e : edits) out.push_back(e->text().toStdString());
    return out;
}

std::optional<FileChoice> QtDialogs::openFile(const std::string& filter) {
    return split(QFileDialog::getOpenFileName(activeParent(), QString(), QString(), filterText(filter)));
}

std::optional<FileChoice> QtDialogs::saveFile(const std::string& filter) {
    return split(QFileDialog::getSaveFileName(activeParent(), QString(), QString(), filterText(filter)));
}

}  // namespace host
