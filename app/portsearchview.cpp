#include "app/mainwindow.h"

#include "discovery/portsearch.h"
#include "link/linesettings.h"
#include "session/devicesession.h"
#include "ui_mainwindow.h"

#include <QProgressDialog>

// "Найти прибор": every port of the "Порт" list is tried in turn, and the
// first that answers a DeviceInfo read is selected there. Nothing is
// connected: the user still presses "Подключиться".

namespace {

const QString SearchTitle = QStringLiteral("Найти прибор");

QString resultText(const QList<PortSearch::PortResult> &tried,
                   const std::optional<Device::DeviceInfoReply> &found)
{
    if (found)
        return QStringLiteral("Прибор найден: %1, № %2, версия %3")
            .arg(tried.last().port)
            .arg(found->serialNumber)
            .arg(found->firmware);
    QStringList lines{QStringLiteral("Прибор не найден. Опрошены порты:")};
    for (const PortSearch::PortResult &result : tried)
        lines << QStringLiteral("%1 — %2").arg(result.port, PortSearch::verdictText(result));
    return lines.join(QLatin1Char('\n'));
}

} // namespace

void MainWindow::on_findDevice_triggered()
{
    if (session->holdsPort() || !ui->comboPort->isEnabled())
        return;
    QStringList names;
    for (int i = 0; i < ui->comboPort->count(); ++i)
        names << LineSettings::portNameOf(ui->comboPort->itemText(i));
    names.removeAll(QString());
    names.removeDuplicates();
    if (names.isEmpty()) {
        showInformation(SearchTitle, QStringLiteral("В списке «Порт» нет ни одного порта."));
        return;
    }

    auto *search = new PortSearch(this);
    auto *progress = new QProgressDialog(this);
    progress->setWindowTitle(SearchTitle);
    progress->setCancelButtonText(QStringLiteral("Отмена"));
    progress->setRange(0, names.size());
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    progress->setWindowModality(Qt::WindowModal);
    // A modal progress dialog runs the event loop in setValue(): it is called
    // from the event loop, never from inside the search.
    connect(
        search, &PortSearch::probing, progress,
        [progress, total = names.size()](int index, const QString &name) {
            progress->setLabelText(
                QStringLiteral("Опрос порта %1 (%2 из %3)…").arg(name).arg(index + 1).arg(total));
            progress->setValue(index);
        },
        Qt::QueuedConnection);
    connect(progress, &QProgressDialog::canceled, search, [search, progress] {
        search->cancel();
        search->deleteLater();
        progress->deleteLater();
    });
    connect(search, &PortSearch::finished, this, [this, search, progress] {
        disconnect(progress, nullptr, search, nullptr);
        progress->hide();
        progress->deleteLater();
        search->deleteLater();
        const QList<PortSearch::PortResult> tried = search->results();
        const std::optional<Device::DeviceInfoReply> found = search->found();
        if (found) {
            for (int i = 0; i < ui->comboPort->count(); ++i) {
                if (LineSettings::portNameOf(ui->comboPort->itemText(i)) == tried.last().port)
                    ui->comboPort->setCurrentIndex(i);
            }
        }
        // The box opens from the event loop, not from inside the search's handlers.
        QMetaObject::invokeMethod(
            this, [this, text = resultText(tried, found)] { showInformation(SearchTitle, text); },
            Qt::QueuedConnection);
    });
    progress->show();
    search->start(names);
}
