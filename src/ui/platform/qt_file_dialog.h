// The file dialog on screen: Qt's own dialog, set up from the common dialog's settings.
#pragma once

#include <QStringList>

#include "platform/file_dialog.h"

class QWidget;
class QFileDialog;

namespace tessarel {

// "Description|pattern|..." as Qt's name filters. "*.*" means every file, as it did where the
// filters come from; on Linux it would miss names without a dot, so it becomes "*".
QStringList QtNameFilters(const std::string& filter);

class QtFileDialog : public FileDialog {
  public:
    explicit QtFileDialog(QWidget* parent) : parent_(parent) {}
    void ShowOpen() override;
    void ShowSave() override;

    // The dialog while it is up, for tests that answer it.
    static QFileDialog* Current();

  private:
    void Show(bool save);
    QWidget* parent_;
};

}  // namespace tessarel
