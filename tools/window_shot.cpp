// Saves the main window as the program draws it: window_shot OUTPUT.png
// Run with QT_QPA_PLATFORM=offscreen to make the picture without a screen.
#include <QApplication>
#include <QPixmap>
#include <iostream>

#include "ui/main/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::cerr << "usage: window_shot OUTPUT.png\n";
        return 2;
    }
    tessarel::MainWindow window;
    window.show();
    QApplication::processEvents();
    if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::cerr << "window_shot: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
