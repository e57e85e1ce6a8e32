#include "app/mainwindow.h"
#include "app/qtcompat.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char *argv[])
{
    QtCompat::useQt6HighDpiBehaviour();
    QApplication app(argc, argv);
    // Plug-ins beside the executable, never in the working directory: the Windows Start-menu
    // entry starts the program in a folder that every user of the PC may write to.
    const QString programDir = QCoreApplication::applicationDirPath();
    QCoreApplication::addLibraryPath(programDir + QStringLiteral("/platforms"));
    QCoreApplication::addLibraryPath(programDir);
    QCommandLineParser options;
    options.setApplicationDescription(
        QStringLiteral("Конфигуратор датчика температуры Veltra с выходом 4–20 мА"));
    options.addHelpOption();
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Добавить в список портов порт, которого нет "
                                                 "в списке системы (например, veltra-sim)."),
                                  QStringLiteral("устройство"));
    options.addOption(port);
    options.process(app);

    auto *window = new MainWindow;
    for (const QString &name : options.values(port))
        window->addPort(name);
    window->show();
    const int code = app.exec();
    delete window;
    return code;
}
