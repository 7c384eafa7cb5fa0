#include "ui/platform/qt_file_dialog.h"

#include "ui/platform/paths.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QPointer>

#include "platform/runtime_error.h"

namespace tessarel {
namespace {

QPointer<QFileDialog> current_dialog;

}  // namespace

QStringList QtNameFilters(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(';', Qt::SkipEmptyParts);
        for (QString& p : patterns) {
            p = p.trimmed();
            if (p == "*.*") {
                p = "*";  // "*.*" would match only names with a dot here
            }
        }
        const QString shown = "(" + patterns.join(' ') + ")";
        QString description = parts[i].trimmed();
        // A description that already shows its patterns is taken exactly as written; one
        // whose patterns changed shows the ones that apply, instead of twice.
        if (description.endsWith(shown)) {
            filters << description;
            continue;
        }
        const int paren = description.lastIndexOf('(');
        if (paren > 0 && description.endsWith(')')) {
            description = description.left(paren).trimmed();
        }
        filters << description + " " + shown;
    }
    return filters;
}

QFileDialog* QtFileDialog::Current() {
    return current_dialog;
}

void QtFileDialog::ShowOpen() {
    Show(false);
}

void QtFileDialog::ShowSave() {
    Show(true);
}

void QtFileDialog::Show(bool save) {
    QFileDialog dialog(parent_, QString::fromStdString(title));
    // Qt's own dialog behaves the same on every desktop, and the Go command asks before it
    // replaces a file, so the dialog need not.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilters(QtNameFilters(filter));
    dialog.setDefaultSuffix(QString::fromStdString(default_ext));
    if (!folder.empty()) {
        dialog.setDirectory(PathToQt(folder));
    }
    if (!file_name.empty()) {
        dialog.selectFile(PathToQt(file_name));
    }
    current_dialog = &dialog;
    const bool accepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
    current_dialog = nullptr;
    if (!accepted) {
        if (cancel_error) {
            throw RuntimeError(kErrDialogCancelled, "Cancel was selected.");
        }
        return;
    }
    file_name = PathFromQt(dialog.selectedFiles().first());
}

}  // namespace tessarel
