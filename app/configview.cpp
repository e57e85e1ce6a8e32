#include "app/mainwindow.h"

#include "app/userfile.h"
#include "config/configfile.h"
#include "session/devicesession.h"
#include "ui_mainwindow.h"

#include <QDir>
#include <QFileDialog>
#include <QSaveFile>

// Configuration files: an export records what this connection has read from
// the transmitter on the line; a load puts the settings and the correction
// points of such a file back into the controls, and makes them what
// write-and-verify writes, so that the next transmitter of a batch can be set
// up like the last. Neither touches the line.

namespace {

const QString ExportTitle = QStringLiteral("Экспорт конфигурации");
const QString LoadTitle = QStringLiteral("Загрузка конфигурации");

// A file of ours is a few kilobytes; anything far larger is not one.
constexpr qint64 MaxFileSize = 1 << 20;

// Writes the file under the first free name. The name is claimed by creating
// it empty first, so that nothing written meanwhile by anyone else is ever
// replaced; the content then arrives whole or not at all.
bool saveNewFile(const QString &directory, const DeviceConfig &config, QString *path,
                 QString *error)
{
    const QDir dir(directory);
    // Without production data the serial number shown may be another device's.
    const QString serial = config.notRead.contains(Device::Command::DeviceInfo)
                               ? QString()
                               : QString::number(config.serialNumber);
    const auto pathOf = [&](int copy) {
        return dir.filePath(ConfigFile::fileName(serial, config.exportedAt, copy));
    };
    QFile claim;
    const bool claimed = UserFile::createNew(claim, pathOf, QIODevice::WriteOnly);
    *path = claim.fileName();
    if (!claimed) {
        *error = claim.errorString();
        return false;
    }
    claim.close();
    QSaveFile file(*path);
    if (!file.open(QIODevice::WriteOnly) || file.write(ConfigFile::toJson(config)) < 0 ||
        !file.commit()) {
        *error = file.errorString();
        QFile::remove(*path);
        return false;
    }
    return true;
}

} // namespace

void MainWindow::setConfigDirectory(const QString &directory)
{
    configDir = directory;
}

QString MainWindow::configDirectory() const
{
    if (!configDir.isEmpty())
        return configDir;
    return QDir::current().absoluteFilePath(QStringLiteral("configs"));
}

// The controls may hold values typed or loaded since: only the record of what
// this connection read is the device's own.
void MainWindow::on_readConfig_clicked()
{
    const DeviceConfig config =
        ConfigFile::fromRecord(session->record(), QDateTime::currentDateTime());
    QStringList notReadTitles;
    for (const ConfigFile::Group &group : ConfigFile::groups())
        if (config.notRead.contains(group.command))
            notReadTitles << group.title;
    if (config.notRead.size() == ConfigFile::groups().size()) {
        showInformation(ExportTitle,
                        QStringLiteral("Конфигурация не сохранена: в этом подключении с прибора "
                                       "ещё ничего не считано."));
        return;
    }
    const QString directory = configDirectory();
    QDir().mkpath(directory);
    QString path;
    QString error;
    if (saveNewFile(directory, config, &path, &error)) {
        QString saved =
            QStringLiteral("Конфигурация сохранена в файл\n%1").arg(UserFile::shownPath(path));
        if (!notReadTitles.isEmpty())
            saved += QStringLiteral("\n\nНе считаны с прибора и не записаны в файл: ") +
                     notReadTitles.join(QStringLiteral(", "));
        const QStringList outside = ConfigFile::outsideLimits(config, configLimits());
        if (!outside.isEmpty())
            saved += QStringLiteral("\n\nЗаписаны как считаны, хотя вне пределов полей окна "
                                    "(такой файл не загрузится): ") +
                     outside.join(QStringLiteral(", "));
        showInformation(ExportTitle, saved);
    } else {
        showInformation(ExportTitle,
                        QStringLiteral("Не удалось сохранить конфигурацию в файл\n%1\n%2")
                            .arg(UserFile::shownPath(path), error));
    }
}

void MainWindow::on_loadConfig_triggered()
{
    const QString directory = configDirectory();
    QDir().mkpath(directory);
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("Загрузить конфигурацию"), directory,
                                     QStringLiteral("Конфигурации (*.json);;Все файлы (*)"));
    if (!path.isEmpty())
        loadConfigFile(path);
}

bool MainWindow::loadConfigFile(const QString &path)
{
    // What is being written and compared against must not change under it.
    if (session->isWriteVerifying()) {
        showInformation(LoadTitle, QStringLiteral("Идёт запись и проверка: конфигурация не "
                                                  "загружена. Загрузите её, когда запись "
                                                  "закончится."));
        return false;
    }
    QFile file(path);
    ConfigParseResult result;
    if (!file.open(QIODevice::ReadOnly))
        result.error = QStringLiteral("Не удалось открыть файл: %1.").arg(file.errorString());
    else if (file.size() > MaxFileSize)
        result.error = QStringLiteral("Файл слишком велик для файла конфигурации.");
    else
        result = ConfigFile::parse(file.readAll(), configLimits());
    if (!result.config) {
        showInformation(LoadTitle, QStringLiteral("Конфигурация не загружена из файла\n%1\n\n%2")
                                       .arg(UserFile::shownPath(path), result.error));
        return false;
    }
    applyConfig(*result.config);
    takeReferenceFromWindow(QFileInfo(path).fileName(), false);
    return true;
}

ConfigLimits MainWindow::configLimits() const
{
    ConfigLimits limits;
    limits.catalogue = catalogue;
    limits.dampingMin = ui->dempBuffSize->minimum();
    limits.dampingMax = ui->dempBuffSize->maximum();
    limits.hysteresisMin = ui->Hyst->minimum();
    limits.hysteresisMax = ui->Hyst->maximum();
    // The ten point boxes share one range.
    limits.pointMin = ui->refVal->minimum();
    limits.pointMax = ui->refVal->maximum();
    return limits;
}

// Only what a batch shares: production data and calibration constants belong
// to one device and stay as they are.
void MainWindow::applyConfig(const DeviceConfig &c)
{
    ++fillingControls;
    // The kind first, whose handler refills the type list, then the type.
    ui->comboGradType->setCurrentIndex(c.kindIndex);
    const int position = catalogue.decodePosition(quint8(c.kindIndex), c.probe.selection.code);
    if (position >= 0)
        ui->comboGradName->setCurrentIndex(position);
    // The bounds of the loaded type, which the values were checked against,
    // even when the selection did not change and so fired no handler.
    on_comboGradName_currentIndexChanged(ui->comboGradName->currentIndex());
    ui->LowerRange->setValue(c.probe.lower);
    ui->UpperRange->setValue(c.probe.upper);
    ui->dempBuffSize->setValue(c.probe.dampingBuffer);
    ui->CompensationCheckBox->setChecked(c.probe.compensation);
    ui->Hyst->setValue(c.probe.hysteresis);
    showCorrectionPoints(c.correction);
    chosenGroups << Device::Command::ProbeType << Device::Command::RefAndMeas;
    --fillingControls;
}
