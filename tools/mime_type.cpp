// Prints the file type the desktop's shared MIME database gives a file, as a Qt program (a file
// manager, say) looks it up: by name and by content. For the install tests.
#include <QCoreApplication>
#include <QMimeDatabase>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: mime_type FILE\n");
        return 2;
    }
    const QMimeType type = QMimeDatabase().mimeTypeForFile(QString::fromLocal8Bit(argv[1]));
    std::printf("%s\n", type.name().toUtf8().constData());
    return 0;
}
