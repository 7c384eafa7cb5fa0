// frmAbout: the program's name, version and description, and a way to the system's own
// information tool.
#pragma once

#include <QDialog>
#include <memory>

#include "control/sys_info.h"
#include "platform/message_box.h"
#include "platform/registry.h"

class QLabel;
class QPushButton;

namespace tessarel {

class LineControl;

class AboutWindow : public QDialog {
    Q_OBJECT
  public:
    // Messages go through message_box; the registry and the program start default to the
    // system's own.
    AboutWindow(MessageBox& message_box, QWidget* parent = nullptr);
    ~AboutWindow() override;

    void SetSystem(std::unique_ptr<Registry> registry, SysInfoSystem system);

    QLabel* picIcon;
    QLabel* lblTitle;
    QLabel* lblVersion;
    QLabel* lblDescription;
    QLabel* lblComments;
    QLabel* lblName;
    QLabel* Label1;
    QLabel* lblDisclaimer;
    QPushButton* cmdOK;
    QPushButton* cmdSysInfo;

    void StartSysInfo();

  private:
    void Form_Load();

    MessageBox& msg_;
    std::unique_ptr<Registry> registry_;
    SysInfoSystem system_;
};

}  // namespace tessarel
