#pragma once

#include <QString>
#include <functional>

class QObject;

namespace veltry {

class ConfigStore;

// The calendar server's password for one (server address, user name), kept in the desktop's
// keyring. Where no keyring service answers, it is kept in the settings file instead (value
// "SyncPassword" beside the other settings), and that file is then written readable by the user
// alone. The password is never logged.
//
// Every call answers through `done`, later, on the event loop, and only while `context` lives. A
// keyring that does not answer within kKeyringTimeoutMs counts as absent, so nothing waits on it
// for ever.
namespace Credentials {

inline constexpr int kKeyringTimeoutMs = 10000;

// The stored password; empty when none is stored (or it could not be read).
void readPassword(const QString& url, const QString& user, QObject* context,
                  std::function<void(const QString& password)> done);

// Stores `password`; an empty one removes it from the keyring and the file. `inKeyring` tells
// where it went; `error` is set (and nothing stored) when it could be kept nowhere, e.g. the
// user refused the keyring or the settings file could not be written. A password that reaches
// the keyring is removed from the file.
void writePassword(const QString& url, const QString& user, const QString& password, QObject* context,
                   std::function<void(bool inKeyring, const QString& error)> done);

// Whether a keyring service answers; asks it (a read of an entry that need not exist).
void probeKeyring(QObject* context, std::function<void(bool available)> done);

// The store the file fallback uses: ConfigStore::shared() unless a test sets another.
void setStore(ConfigStore* store);

} // namespace Credentials
} // namespace veltry
