#include "platform/calibration_store.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QUrl>


namespace ordavel {

namespace {

// Printer names may hold '/' (CUPS instances) and any character; the ini
// section is the name percent-encoded so that it stays one section.
QString sectionOf(const std::string& printerName)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(QString::fromStdString(printerName)));
}

std::string nameOf(const QString& section)
{
    return QUrl::fromPercentEncoding(section.toLatin1()).toStdString();
}

const char* const kKeys[] = {"offsetXMm", "offsetYMm", "scaleXPercent", "scaleYPercent", "pageLengthMm"};

double* fieldOf(Calibration& c, int i)
{
    double* const fields[] = {&c.offsetXMm, &c.offsetYMm, &c.scaleXPercent, &c.scaleYPercent, &c.pageLengthMm};
    return fields[i];
}

std::string statusText(const QSettings& settings, const std::string& path)
{
    switch (settings.status()) {
    case QSettings::NoError: return {};
    case QSettings::AccessError: return "cannot write \"" + path + "\"";
    case QSettings::FormatError: return "\"" + path + "\" is not a readable settings file";
    }
    return {};
}

} // namespace

CalibrationStore::CalibrationStore(std::string path) : m_path(std::move(path)) {}

StoredCalibration CalibrationStore::load(const std::string& printerName) const
{
    QSettings settings(QString::fromStdString(m_path), QSettings::IniFormat);
    if (settings.status() == QSettings::FormatError)
        return {std::nullopt, statusText(settings, m_path)};
    const QString section = sectionOf(printerName);
    if (!settings.childGroups().contains(section))
        return {};
    settings.beginGroup(section);
    Calibration c;
    for (int i = 0; i < 5; ++i) {
        const QVariant value = settings.value(QString::fromLatin1(kKeys[i]));
        if (!value.isValid())
            continue; // absent: the identity's value
        bool ok = false;
        *fieldOf(c, i) = value.toString().toDouble(&ok);
        if (!ok)
            return {std::nullopt, "the calibration of \"" + printerName + "\" has an unreadable " + kKeys[i]};
    }
    if (const auto fault = checkCalibration(c))
        return {std::nullopt, "the calibration of \"" + printerName + "\": " + calibrationFaultTextEnglish(*fault)};
    if (c.isIdentity())
        return {};
    return {c, {}};
}

std::string CalibrationStore::save(const std::string& printerName, const Calibration& calibration)
{
    if (const auto fault = checkCalibration(calibration))
        return calibrationFaultTextEnglish(*fault);
    if (calibration.isIdentity())
        return remove(printerName);
    QDir().mkpath(QFileInfo(QString::fromStdString(m_path)).absolutePath());
    QSettings settings(QString::fromStdString(m_path), QSettings::IniFormat);
    // Replaced through a temporary file and a rename on sync.
    settings.setAtomicSyncRequired(true);
    settings.beginGroup(sectionOf(printerName));
    Calibration copy = calibration;
    for (int i = 0; i < 5; ++i)
        settings.setValue(QString::fromLatin1(kKeys[i]), QString::number(*fieldOf(copy, i), 'g', 17));
    settings.endGroup();
    settings.sync();
    return statusText(settings, m_path);
}

std::string CalibrationStore::remove(const std::string& printerName)
{
    if (!QFileInfo::exists(QString::fromStdString(m_path)))
        return {};
    QSettings settings(QString::fromStdString(m_path), QSettings::IniFormat);
    settings.setAtomicSyncRequired(true);
    settings.remove(sectionOf(printerName));
    settings.sync();
    return statusText(settings, m_path);
}

std::vector<std::string> CalibrationStore::printers() const
{
    QSettings settings(QString::fromStdString(m_path), QSettings::IniFormat);
    std::vector<std::string> names;
    for (const QString& section : settings.childGroups())
        names.push_back(nameOf(section));
    return names;
}

} // namespace ordavel
