#include "platform/qt/QtSettingsStore.h"

#include "platform/PlatformError.h"
#include "platform/qt/QtErrors.h"

#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

namespace kelvra {

namespace {

QString fromBytes(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

QString QtSettingsStore::defaultPath(Scope scope) {
    const char* variable = scope == Scope::PerUser ? kUserPathVariable : kMachinePathVariable;
    const QString overridden = qEnvironmentVariable(variable);
    if (!overridden.isEmpty()) {
        return overridden;
    }
    if (scope == Scope::PerUser) {
        return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
               QStringLiteral("/kelvra/kelvra.ini");
    }
    return QStringLiteral("/etc/xdg/kelvra/kelvra.ini");
}

QtSettingsStore::QtSettingsStore(Scope scope, QString filePath)
    : m_scope(scope), m_filePath(filePath.isEmpty() ? defaultPath(scope) : std::move(filePath)) {}

QString QtSettingsStore::keyLocation(const std::string& title, const std::string& section) const {
    QString path = fromBytes(title) + QLatin1Char('/') + fromBytes(section);
    if (m_scope == Scope::MachineWide) {
        path.prepend(QStringLiteral("Software/"));
    }
    return path;
}

QString QtSettingsStore::location(const std::string& title, const std::string& section,
                                  const std::string& key) const {
    return keyLocation(title, section) + QLatin1Char('/') + fromBytes(key);
}

std::string QtSettingsStore::read(const std::string& title, const std::string& section,
                                  const std::string& key, const std::string& fallback) {
    // A fresh QSettings per call: a file edited by hand or by another process is read anew.
    const QSettings settings(m_filePath, QSettings::IniFormat);
    const QVariant value = settings.value(location(title, section, key));
    if (!value.isValid()) {
        return fallback;
    }
    QString text;
    if (value.typeId() == QMetaType::QStringList) {
        // A hand-written value with commas and no quotes reads as a list.
        text = value.toStringList().join(QLatin1Char(','));
    } else if (value.canConvert<QString>()) {
        text = value.toString();
    } else {
        return fallback;
    }
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void QtSettingsStore::write(const std::string& title, const std::string& section,
                            const std::string& key, const std::string& value) {
    QSettings settings(m_filePath, QSettings::IniFormat);
    settings.setValue(location(title, section, key), fromBytes(value));
    sync(settings);
}

void QtSettingsStore::createKey(const std::string& title, const std::string& section) {
    QSettings settings(m_filePath, QSettings::IniFormat);
    const QString key = keyLocation(title, section);
    settings.beginGroup(key);
    const bool holdsEntries = !settings.allKeys().isEmpty();
    settings.endGroup();
    if (holdsEntries || settings.contains(key)) {
        return; // the file is left alone when nothing is missing
    }
    settings.setValue(key, QString());
    sync(settings);
}

void QtSettingsStore::sync(QSettings& settings) const {
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        throw PlatformError(SettingsErrorNumber(settings.status()),
                            "Cannot write settings file " + m_filePath.toStdString());
    }
}

} // namespace kelvra
