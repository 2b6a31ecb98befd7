#include "platform/core/ConfigStore.h"

#include "platform/core/AppError.h"
#include "platform/core/DataPaths.h"
#include "platform/core/FileSafety.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace veltry {

namespace {
QString normaliseKey(QString key)
{
    while (key.endsWith(QLatin1Char('\\')))
        key.chop(1);
    return key;
}

QString escape(const QString& text)
{
    QString out;
    out.reserve(text.size() + 2);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\': out += QLatin1String("\\\\"); break;
        case '"': out += QLatin1String("\\\""); break;
        case '\n': out += QLatin1String("\\n"); break;
        case '\r': out += QLatin1String("\\r"); break;
        default: out += c;
        }
    }
    return out;
}

// Reads a quoted text starting after the opening quote; returns the position after the closing one.
qsizetype unescape(const QString& line, qsizetype i, QString& out)
{
    out.clear();
    while (i < line.size()) {
        const QChar c = line.at(i++);
        if (c == QLatin1Char('"'))
            return i;
        if (c == QLatin1Char('\\') && i < line.size()) {
            const QChar e = line.at(i++);
            out += e == QLatin1Char('n') ? QChar(QLatin1Char('\n')) : e == QLatin1Char('r') ? QChar(QLatin1Char('\r')) : e;
        } else {
            out += c;
        }
    }
    return -1;
}
} // namespace

ConfigStore::ConfigStore(QString filePath) : m_path(std::move(filePath))
{
    reload();
}

QString ConfigStore::defaultFilePath()
{
    return DataPaths::configDirectory() + QStringLiteral("registry.reg");
}

ConfigStore& ConfigStore::shared()
{
    static ConfigStore store(defaultFilePath());
    return store;
}

bool ConfigStore::reload(QString* error)
{
    m_keys.clear();
    m_damageNotice.clear();
    m_writeRefusal.clear();
    QFile file(m_path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        const QString reason = file.errorString();
        m_damageNotice = QStringLiteral("The settings file \"%1\" could not be read: %2. The default settings "
                                        "are used, and the file is not written over.")
                             .arg(m_path, reason);
        m_writeRefusal = QStringLiteral("it could not be read, and writing would replace it");
        if (error)
            *error = reason;
        return false;
    }
    QByteArray bytes = file.readAll();
    file.close();
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);

    int badLine = 0;  // the first line that could not be read, counted from 1
    int lineNumber = 0;
    Key* current = nullptr;
    for (QByteArray raw : bytes.split('\n')) {
        ++lineNumber;
        if (raw.endsWith('\r'))
            raw.chop(1);
        // A line is read whole or not at all: a value read in part would be written back changed.
        auto readLine = [&]() -> bool {
            if (!raw.isValidUtf8())
                return false;
            const QString line = QString::fromUtf8(raw);
            if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char(';')))
                return true;
            if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
                const QString name = normaliseKey(line.mid(1, line.size() - 2));
                createKey(name);
                current = findKey(name);
                return true;
            }
            if (!current || !line.startsWith(QLatin1Char('"')))
                return false;
            QString name;
            const qsizetype i = unescape(line, 1, name);
            if (i < 0 || i >= line.size() || line.at(i) != QLatin1Char('='))
                return false;
            const QString rest = line.mid(i + 1);
            if (rest.startsWith(QLatin1String("dword:"))) {
                bool ok = false;
                const QString digits = rest.mid(6);
                const quint32 v = digits.toUInt(&ok, 16);
                if (!ok || digits.size() != 8)
                    return false;
                // A name written twice: the first one counts, as it always did.
                if (!current->find(name))
                    current->set(name, qint32(v));
                return true;
            }
            QString text;
            if (!rest.startsWith(QLatin1Char('"')) || unescape(rest, 1, text) != rest.size())
                return false;
            if (!current->find(name))
                current->set(name, text);
            return true;
        };
        if (!readLine() && badLine == 0)
            badLine = lineNumber;
    }
    if (badLine > 0) {
        const QString copy = FileSafety::keepUntouchedCopy(m_path);
        if (copy.isEmpty()) {
            m_damageNotice = QStringLiteral("The settings file \"%1\" is damaged: line %2 could not be read. "
                                            "No copy of it could be made, so it is not written over; the "
                                            "settings that could be read are used.")
                                 .arg(m_path)
                                 .arg(badLine);
            m_writeRefusal = QStringLiteral("it is damaged and no copy of it could be made, and writing would "
                                            "replace it");
        } else {
            m_damageNotice = QStringLiteral("The settings file \"%1\" is damaged: line %2 could not be read. "
                                            "An untouched copy of it was kept as \"%3\"; the settings that "
                                            "could be read are used.")
                                 .arg(m_path)
                                 .arg(badLine)
                                 .arg(copy);
        }
    }
    return true;
}

bool ConfigStore::saveTo(QIODevice* device, QString* error) const
{
    QString text = QStringLiteral("; Veltry Professional settings\n");
    for (const Key& key : m_keys) {
        text += QLatin1Char('\n') + QLatin1Char('[') + key.name + QLatin1String("]\n");
        for (const auto& [name, value] : key.values) {
            text += QLatin1Char('"') + escape(name) + QLatin1String("\"=");
            if (const auto* i = std::get_if<qint32>(&value))
                text += QStringLiteral("dword:%1").arg(quint32(*i), 8, 16, QLatin1Char('0'));
            else
                text += QLatin1Char('"') + escape(std::get<QString>(value)) + QLatin1Char('"');
            text += QLatin1Char('\n');
        }
    }
    const QString reason = FileSafety::writeAll(device, text.toUtf8());
    if (!reason.isNull() && error)
        *error = reason;
    return reason.isNull();
}

bool ConfigStore::save(QString* error) const
{
    auto fail = [&](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (!m_writeRefusal.isEmpty())
        return fail(m_writeRefusal);
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    // Before anything is written: the new file takes the old one's mode otherwise.
    if (m_private && !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(reason);
    }
    if (!saveTo(&file, error)) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

ConfigStore::Key* ConfigStore::findKey(const QString& key)
{
    const QString k = normaliseKey(key);
    for (Key& existing : m_keys)
        if (existing.name.compare(k, Qt::CaseInsensitive) == 0)
            return &existing;
    return nullptr;
}

const ConfigStore::Key* ConfigStore::findKey(const QString& key) const
{
    return const_cast<ConfigStore*>(this)->findKey(key);
}

bool ConfigStore::hasKey(const QString& key) const
{
    return findKey(key) != nullptr;
}

void ConfigStore::createKey(const QString& key)
{
    if (!findKey(key))
        m_keys.push_back({normaliseKey(key), {}, {}});
}

const ConfigStore::Value* ConfigStore::Key::find(const QString& valueName) const
{
    const auto it = index.constFind(valueName.toCaseFolded());
    return it == index.cend() ? nullptr : &values[*it].second;
}

void ConfigStore::Key::set(const QString& valueName, const Value& value)
{
    const QString folded = valueName.toCaseFolded();
    if (const auto it = index.constFind(folded); it != index.cend()) {
        values[*it].second = value;
        return;
    }
    index.insert(folded, values.size());
    values.emplace_back(valueName, value);
}

bool ConfigStore::Key::remove(const QString& valueName)
{
    const auto it = index.constFind(valueName.toCaseFolded());
    if (it == index.cend())
        return false;
    values.erase(values.begin() + qsizetype(*it));
    index.clear();
    for (size_t i = 0; i < values.size(); ++i)
        index.insert(values[i].first.toCaseFolded(), i);
    return true;
}

std::optional<ConfigStore::Value> ConfigStore::value(const QString& key, const QString& name) const
{
    if (const Key* k = findKey(key))
        if (const Value* v = k->find(name))
            return *v;
    return std::nullopt;
}

void ConfigStore::setValue(const QString& key, const QString& name, const Value& value)
{
    createKey(key);
    findKey(key)->set(name, value);
}

bool ConfigStore::deleteValue(const QString& key, const QString& name)
{
    Key* k = findKey(key);
    return k && k->remove(name);
}

QStringList ConfigStore::valueNames(const QString& key) const
{
    QStringList names;
    if (const Key* k = findKey(key))
        for (const auto& [n, v] : k->values)
            names << n;
    return names;
}

ConfigKey::ConfigKey(ConfigStore& store, const QString& root, const QString& path, bool create)
    : m_store(store), m_key(root + QLatin1Char('\\') + path)
{
    if (create)
        m_store.createKey(m_key);
    m_open = m_store.hasKey(m_key);
}

ConfigKey::~ConfigKey()
{
    try {
        close();
    } catch (const AppError&) {
    }
}

bool ConfigKey::valueExists(const QString& name) const
{
    return m_open && m_store.value(m_key, name).has_value();
}

qint32 ConfigKey::readInteger(const QString& name) const
{
    const auto v = m_store.value(m_key, name);
    if (!v || !std::holds_alternative<qint32>(*v))
        throw AppError(QStringLiteral("Invalid data type for '%1'").arg(name));
    return std::get<qint32>(*v);
}

bool ConfigKey::readBool(const QString& name) const
{
    return readInteger(name) != 0;
}

QString ConfigKey::readString(const QString& name) const
{
    const auto v = m_store.value(m_key, name);
    if (!v || !std::holds_alternative<QString>(*v))
        throw AppError(QStringLiteral("Invalid data type for '%1'").arg(name));
    return std::get<QString>(*v);
}

void ConfigKey::touched(const QString& name)
{
    if (m_firstPending.isEmpty())
        m_firstPending = name;
}

void ConfigKey::writeBool(const QString& name, bool value)
{
    writeInteger(name, value ? 1 : 0);
}

void ConfigKey::writeInteger(const QString& name, qint32 value)
{
    m_store.setValue(m_key, name, value);
    touched(name);
}

void ConfigKey::writeString(const QString& name, const QString& value)
{
    m_store.setValue(m_key, name, value);
    touched(name);
}

bool ConfigKey::deleteValue(const QString& name)
{
    const bool removed = m_store.deleteValue(m_key, name);
    if (removed)
        touched(name);
    return removed;
}

void ConfigKey::close()
{
    if (m_firstPending.isEmpty())
        return;
    const QString name = m_firstPending;
    m_firstPending.clear();
    QString reason;
    if (!m_store.save(&reason))
        throw AppError(QStringLiteral("Failed to set data for '%1'").arg(name)
                       + QStringLiteral("\n\nCould not save \"%1\": %2").arg(m_store.filePath(), reason));
}

} // namespace veltry
