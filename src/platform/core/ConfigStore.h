#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <map>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

class QIODevice;

namespace veltry {

// A keyed store of named values of two kinds (32-bit integers, which also carry Booleans, and
// texts), kept in one per-user file in the registry export style:
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Veltry Pro]
//   "SavePosition"=dword:00000001
//   "AltDirPath"="/srv/lists/"
// Every change is written back whole and atomically when the key is closed.
class ConfigStore
{
public:
    using Value = std::variant<qint32, QString>;

    explicit ConfigStore(QString filePath);
    const QString& filePath() const { return m_path; }

    // Re-reads the file; a missing file is an empty store. False (with a reason) when it cannot
    // be read. A file with lines that cannot be read (text that is not UTF-8, a cut or mangled
    // line) is copied aside untouched before anything can write over it; the values that could
    // be read are used, and damageNotice() tells the user.
    bool reload(QString* error = nullptr);
    // Writes the file atomically. False (with the system's reason) on failure; also when the
    // file could not be read or copied aside, since writing would lose it.
    bool save(QString* error = nullptr) const;
    // Writes the file's bytes to `device`, open for writing. False (with the reason) on failure.
    bool saveTo(QIODevice* device, QString* error = nullptr) const;
    // What the last reload found wrong with the file, for the user; empty when it read whole.
    const QString& damageNotice() const { return m_damageNotice; }
    // A private file (it holds a secret) is written readable and writable by its owner alone,
    // at every save: each save replaces the file, so a mode set once would not last. The option
    // stays through reloads. A file that is already private stays so without it.
    void setPrivateFile(bool on) { m_private = on; }

    bool hasKey(const QString& key) const;
    void createKey(const QString& key);
    std::optional<Value> value(const QString& key, const QString& name) const;
    void setValue(const QString& key, const QString& name, const Value& value);
    bool deleteValue(const QString& key, const QString& name);
    QStringList valueNames(const QString& key) const;

    // The process-wide store file under $XDG_CONFIG_HOME (default ~/.config).
    static QString defaultFilePath();
    static ConfigStore& shared();

private:
    struct Key
    {
        QString name;
        std::vector<std::pair<QString, Value>> values;  // in the order first written
        // Case-folded name to its place in `values`: a key may hold a hundred thousand values
        // (the categories), and each read or write must not scan them all.
        QHash<QString, size_t> index;
        const Value* find(const QString& valueName) const;
        void set(const QString& valueName, const Value& value);
        bool remove(const QString& valueName);
    };
    Key* findKey(const QString& key);
    const Key* findKey(const QString& key) const;

    QString m_path;
    std::vector<Key> m_keys;
    QString m_damageNotice;
    QString m_writeRefusal;  // why the file must not be written over, if it must not
    bool m_private = false;
};

// One open key, with the typed reads and writes the settings need. Reads of a value stored with
// the wrong kind raise "Invalid data type for '%s'"; a failed write raises "Failed to set data
// for '%s'" naming the first value that did not reach the file.
class ConfigKey
{
public:
    // root is "HKEY_LOCAL_MACHINE" or "HKEY_CURRENT_USER"; path like "SOFTWARE\\Veltry Pro\\".
    ConfigKey(ConfigStore& store, const QString& root, const QString& path, bool create);
    ~ConfigKey();
    ConfigKey(const ConfigKey&) = delete;
    ConfigKey& operator=(const ConfigKey&) = delete;

    bool isOpen() const { return m_open; }
    bool valueExists(const QString& name) const;
    bool readBool(const QString& name) const;
    qint32 readInteger(const QString& name) const;
    QString readString(const QString& name) const;
    void writeBool(const QString& name, bool value);
    void writeInteger(const QString& name, qint32 value);
    void writeString(const QString& name, const QString& value);
    bool deleteValue(const QString& name);
    // Writes pending changes; throws AppError on failure. Called by the destructor too (which
    // swallows the error, so call it yourself when the failure matters).
    void close();

private:
    void touched(const QString& name);
    ConfigStore& m_store;
    QString m_key;
    bool m_open = false;
    QString m_firstPending;
};

} // namespace veltry
