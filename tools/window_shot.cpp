// Saves the main window as the program draws it:
//   window_shot OUTPUT.png [split|exact|join|operating|sizemenu|about|help1|help2|help3|help4]
// Run with QT_QPA_PLATFORM=offscreen to make the picture without a screen.
#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QRadioButton>
#include <QTabBar>
#include <QTest>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "ui/about/about_window.h"
#include "ui/help/help_window.h"
#include "ui/main/main_window.h"
#include "ui/platform/qt_message_box.h"
#include "ui/platform/tab_strip.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (std::getenv("TESSAREL_SHOT_DARK")) {  // as under a dark desktop theme
        QPalette dark = QApplication::palette();
        dark.setColor(QPalette::Window, QColor(0x30, 0x30, 0x30));
        dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
        dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
        dark.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
        dark.setColor(QPalette::Button, QColor(0x40, 0x40, 0x40));
        dark.setColor(QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
        QApplication::setPalette(dark);
    }
    if (argc < 2 || argc > 3) {
        std::cerr << "usage: window_shot OUTPUT.png "
                     "[split|exact|join|operating|sizemenu|about|help1..help4|topicN|open=FILE]\n";
        return 2;
    }
    const std::string state = argc == 3 ? argv[2] : "split";
    const QString out = QString::fromLocal8Bit(argv[1]);
    if (state == "about") {
        tessarel::QtMessageBox box;
        tessarel::AboutWindow about(box);
        about.show();
        QApplication::processEvents();
        return about.grab().save(out) ? 0 : 1;
    }
    if (state.rfind("topic", 0) == 0) {  // the page of one help topic, that topic chosen
        const int topic = std::atoi(state.c_str() + 5);
        tessarel::HelpWindow help;
        help.show();
        help.tbsHelp->bar()->setCurrentIndex(tessarel::HelpWindow::PageOf(topic));
        help.optOv[static_cast<size_t>(topic)]->click();
        QApplication::processEvents();
        return help.grab().save(out) ? 0 : 1;
    }
    if (state.rfind("help", 0) == 0) {
        tessarel::HelpWindow help;
        help.show();
        help.tbsHelp->bar()->setCurrentIndex(std::atoi(state.c_str() + 4) - 1);
        QApplication::processEvents();
        return help.grab().save(out) ? 0 : 1;
    }
    tessarel::MainWindow window;
    window.show();
    if (state.rfind("open=", 0) == 0) {  // as started with a file: tessarel FILE
        window.OpenFile(state.substr(5));
    } else if (state == "exact") {
        QTest::mouseClick(window.optExact, Qt::LeftButton);
    } else if (state == "join") {
        QTest::mouseClick(window.optJoin, Qt::LeftButton);
    } else if (state == "sizemenu") {  // the size field's menu, opened from the keyboard
        window.txtApprox->setFocus();
        QTest::keyClick(window.txtApprox, Qt::Key_F10, Qt::ShiftModifier);
        QTest::qWait(200);
        if (QWidget* menu = QApplication::activePopupWidget()) {
            // The window and its menu together, as the screen shows them.
            const QRect both = window.frameGeometry().united(menu->geometry());
            QPixmap shot(both.size());
            shot.fill(Qt::white);
            QPainter painter(&shot);
            painter.drawPixmap(window.geometry().topLeft() - both.topLeft(), window.grab());
            painter.drawPixmap(menu->geometry().topLeft() - both.topLeft(), menu->grab());
            painter.end();
            return shot.save(out) ? 0 : 1;
        }
        std::cerr << "window_shot: the size menu did not open\n";
        return 1;
    } else if (state == "operating") {
        window.controller().LockInput(true);
        window.display().ShowOperating();
        window.display().ShowPiece(3);
        window.display().SetProgress(42);
        QTest::qWait(600);
    }
    QApplication::processEvents();
    if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::cerr << "window_shot: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
