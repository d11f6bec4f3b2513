#include "host/qt/dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace host {

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

QWidget* activeParent() { return QApplication::activeWindow(); }

// A message box whose buttons are given by label and that can be closed by its frame.
std::string askWithButtons(QMessageBox::Icon icon, const std::string& title, const std::string& text,
                           const std::vector<std::string>& buttons, const std::string& defaultButton) {
    QDialog dialog(activeParent());
    dialog.setWindowTitle(q(title));
    auto* iconLabel = new QLabel;
    QMessageBox box(icon, "", "");  // only for the standard icon
    iconLabel->setPixmap(box.iconPixmap());
    auto* textLabel = new QLabel(q(text));
    textLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* top = new QHBoxLayout;
    top->addWidget(iconLabel, 0, Qt::AlignTop);
    top->addWidget(textLabel, 1);
    auto* row = new QHBoxLayout;
    row->addStretch();
    std::string answer;
    for (const auto& label : buttons) {
        auto* b = new QPushButton(q(label));
        if (label == defaultButton) {
            b->setDefault(true);
            b->setFocus();
        }
        QObject::connect(b, &QPushButton::clicked, &dialog, [&dialog, &answer, label] {
            answer = label;
            dialog.accept();
        });
        row->addWidget(b);
    }
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(row);
    dialog.exec();
    return answer;
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

std::string ScriptedDialogs::question(const std::string& title, const std::string& text,
                                      const std::vector<std::string>& buttons, const std::string& defaultButton) {
    shown.push_back({"question", title, text, buttons, defaultButton, {}});
    if (answers.empty()) return {};
    std::string a = answers.front();
    answers.pop_front();
    return a;
}

void ScriptedDialogs::message(const std::string& title, const std::string& text) {
    shown.push_back({"message", title, text, {}, {}, {}});
}

void ScriptedDialogs::error(const std::string& title, const std::string& text) {
    shown.push_back({"error", title, text, {}, {}, {}});
}

std::optional<std::vector<std::string>> ScriptedDialogs::input(const std::string& title,
                                                               const std::vector<std::string>& prompts,
                                                               const std::vector<std::string>& defaults) {
    shown.push_back({"input", title, {}, prompts, {}, defaults});
    if (inputs.empty()) return std::nullopt;
    auto a = inputs.front();
    inputs.pop_front();
    return a;
}

std::optional<FileChoice> ScriptedDialogs::nextFile(const char* kind, const std::string& filter) {
    shown.push_back({kind, {}, filter, {}, {}, {}});
    if (files.empty()) return std::nullopt;
    auto a = files.front();
    files.pop_front();
    return a;
}

std::optional<FileChoice> ScriptedDialogs::openFile(const std::string& filter) { return nextFile("open", filter); }

std::optional<FileChoice> ScriptedDialogs::saveFile(const std::string& filter) { return nextFile("save", filter); }

}  // namespace host
