#include "app/mainwindow.h"
#include "app/qtcompat.h"
#include "app/qttranslations.h"
#include "rack/rackwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QSerialPortInfo>
#include <QTextStream>
#include <QTimer>

int main(int argc, char *argv[])
{
    QtCompat::useQt6HighDpiBehaviour();
    QApplication app(argc, argv);
    // Plug-ins beside the executable, never in the working directory: the Windows Start-menu
    // entry starts the program in a folder that every user of the PC may write to.
    const QString programDir = QCoreApplication::applicationDirPath();
    QCoreApplication::addLibraryPath(programDir + QStringLiteral("/platforms"));
    QCoreApplication::addLibraryPath(programDir);
    QtTranslations::install(app);
    QCommandLineParser options;
    options.setApplicationDescription(
        QStringLiteral("Конфигуратор датчика температуры Veltra с выходом 4–20 мА"));
    options.addHelpOption();
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Добавить в список портов порт, которого нет "
                                                 "в списке системы (например, veltra-sim)."),
                                  QStringLiteral("устройство"));
    options.addOption(port);
    // For scripts/run, which starts the simulator where the system lists no port.
    const QCommandLineOption listPorts(
        QStringLiteral("list-ports"),
        QStringLiteral("Вывести порты, которые перечисляет система, по одному в строке, и выйти."));
    options.addOption(listPorts);
    const QCommandLineOption rack(
        QStringLiteral("rack"),
        QStringLiteral("Открыть стенд; каждый порт из --port становится его линией."));
    options.addOption(rack);
    options.process(app);
    if (options.isSet(listPorts)) {
        QTextStream out(stdout);
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            out << info.portName() << '\n';
        return 0;
    }

    auto *window = new MainWindow;
    for (const QString &name : options.values(port))
        window->addPort(name);
    window->show();
    if (options.isSet(rack)) {
        RackWindow *rackWindow = window->openRack();
        for (const QString &name : options.values(port))
            rackWindow->addLine(name);
    }
    // The frame is known once the window system has placed the window.
    QTimer::singleShot(0, window, &MainWindow::fitToScreen);
    const int code = app.exec();
    delete window;
    return code;
}
