#include <QApplication>

#include "ui/main/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tessarel");
    tessarel::MainWindow window;
    window.show();
    return QApplication::exec();
}
