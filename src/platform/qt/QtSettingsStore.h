#pragma once

#include "platform/SettingsStore.h"

#include <QString>
#include <string>

class QSettings;

namespace kelvra {

// A settings store in one INI file, read and written through QSettings(path, IniFormat).
// Text is one char per byte (Latin-1 in the file's UTF-8), so every byte but NUL round-trips.
//
// Where a value lives in the file:
// - per-user: the application title, the section, the key. The console's address and a
//   serial port mapping of the same program read
//       [usKelvra]
//       Connection\IP=192.168.1.201
//       SerialPorts\COM3=/dev/pts/5
//   (QSettings also reads a hand-written section [usKelvra/SerialPorts] with COM3=...).
// - machine-wide: the key path "Software", title, section, as the system registry holds it,
//   with the value name as the last part:
//       [Software]
//       usKelvra\Properties\Login=1
//
// A key without values (createKey) is an entry of its own with an empty text, since QSettings
// keeps no group without entries:
//       [Software]
//       usKelvra\Properties=
//
// read() never fails: a missing file, a missing value or a file that cannot be read or parsed
// gives the fallback. write() creates the file and its directory when missing and throws
// PlatformError (5 access denied, 13 invalid data) when the file cannot be written; the
// machine-wide functions built on it swallow that.
class QtSettingsStore final : public SettingsStore {
public:
    enum class Scope { PerUser, MachineWide };

    // Environment variables that move the default files (so a demo never touches real ones).
    static constexpr const char* kUserPathVariable = "KELVRA_USER_SETTINGS";
    static constexpr const char* kMachinePathVariable = "KELVRA_MACHINE_SETTINGS";

    // Per-user: $KELVRA_USER_SETTINGS, else <generic config location>/kelvra/kelvra.ini
    // (~/.config/kelvra/kelvra.ini). Machine-wide: $KELVRA_MACHINE_SETTINGS, else
    // /etc/xdg/kelvra/kelvra.ini.
    static QString defaultPath(Scope scope);

    // The store of `scope` in the file `filePath`; an empty path takes defaultPath(scope).
    explicit QtSettingsStore(Scope scope, QString filePath = {});

    std::string read(const std::string& title, const std::string& section, const std::string& key,
                     const std::string& fallback) override;
    void write(const std::string& title, const std::string& section, const std::string& key,
               const std::string& value) override;
    void createKey(const std::string& title, const std::string& section) override;

    Scope scope() const { return m_scope; }
    const QString& filePath() const { return m_filePath; }
    // The QSettings key that (title, section, key) is stored under.
    QString location(const std::string& title, const std::string& section,
                     const std::string& key) const;

private:
    QString keyLocation(const std::string& title, const std::string& section) const;
    void sync(QSettings& settings) const;

    Scope m_scope;
    QString m_filePath;
};

} // namespace kelvra
