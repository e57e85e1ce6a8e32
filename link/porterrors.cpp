#include "link/porterrors.h"

#include <QApplication>
#include <QMessageBox>

QString portErrorMessage(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::PermissionError:
        return QStringLiteral("Доступ запрещен");
    case QSerialPort::OpenError:
        return QStringLiteral("При открытии порта возникла ошибка");
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // Qt 6 no longer has these two codes (and renumbers the rest).
    case QSerialPort::ParityError:
        return QStringLiteral("Ошибка четности");
    case QSerialPort::FramingError:
        return QStringLiteral("Ошибка фрейма");
#endif
    case QSerialPort::WriteError:
        return QStringLiteral("Ошибка записи");
    case QSerialPort::ResourceError:
        return QStringLiteral("Соединение с модемом потеряно");
    case QSerialPort::UnsupportedOperationError:
        return QStringLiteral("Неподдерживаемая операция");
    case QSerialPort::UnknownError:
        return QStringLiteral("Неизвестная ошибка");
    case QSerialPort::TimeoutError:
        return QStringLiteral("Превышено время ожидания");
    case QSerialPort::NotOpenError:
        return QStringLiteral("Ошибка подключения к модему");
    default:
        return {};
    }
}

void PortErrorReporter::report(const QString &message)
{
    // A dead line makes every poll and every test-run tick fail the same way;
    // one box says it.
    if (message.isEmpty() || (showing && message == shown) || pending.contains(message))
        return;
    pending.append(message);
    if (showing)
        return;
    showing = true;
    while (!pending.isEmpty()) {
        shown = pending.takeFirst();
        QMessageBox box(QMessageBox::Information, QStringLiteral("Ошибка порта"), shown,
                        QMessageBox::Ok, QApplication::activeWindow());
        box.exec();
    }
    shown.clear();
    showing = false;
    emit allClosed();
}
