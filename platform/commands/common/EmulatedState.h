#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <memory>

class QFile;

namespace Norvane::Platform::Commands {

// The emulated machine the stand-ins share, one readable JSON file:
//   "registry":    { key: { value name: { "type": "REG_SZ" | "REG_DWORD", "data": text | number } } }
//   "winhttp":     { "proxy_server": text, "bypass_list": text }   (empty: direct access)
//   "environment": { user variable: text }
//   "interfaces":  { adapter: { "address": {...}, "dns": {...} } }
//   "routes":      [ { "prefix", "interface", "nexthop": text, "metric": number } ]
// A call holds the file's lock from open() until it ends, so calls never interleave their changes.
class EmulatedState
{
public:
    inline static const QString kRegistry = QStringLiteral("registry");
    inline static const QString kWinHttp = QStringLiteral("winhttp");
    inline static const QString kEnvironment = QStringLiteral("environment");
    inline static const QString kInterfaces = QStringLiteral("interfaces");
    inline static const QString kRoutes = QStringLiteral("routes");

    EmulatedState();
    ~EmulatedState();

    // An absent file is a machine with nothing set; a file that is not such a document is an error.
    bool open(QString *error);
    QJsonObject object(const QString &section) const;
    QJsonArray array(const QString &section) const;
    void set(const QString &section, const QJsonValue &value);
    // Replaces the file in one step: a reader sees the old state or the new one, never a part.
    bool commit(QString *error);

private:
    QString m_path;
    std::unique_ptr<QFile> m_lock;
    QJsonObject m_root;
};

} // namespace Norvane::Platform::Commands
