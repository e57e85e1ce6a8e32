#include "app/mainwindow.h"
#include "app/qtcompat.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QStringList paths = QCoreApplication::libraryPaths();
    paths << QStringLiteral(".") << QStringLiteral("platforms");
    QCoreApplication::setLibraryPaths(paths);

    QtCompat::useQt6HighDpiBehaviour();
    QApplication app(argc, argv);
    auto *window = new MainWindow;
    window->show();
    const int code = app.exec();
    delete window;
    return code;
}
