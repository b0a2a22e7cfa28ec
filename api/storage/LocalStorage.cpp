#include "api/storage/LocalStorage.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

namespace Norvane::Api::Storage {

namespace {

// The file holds the login token: only its owner may read it or list its folder.
constexpr QFile::Permissions kFolderPermissions =
    QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
constexpr QFile::Permissions kFilePermissions = QFile::ReadOwner | QFile::WriteOwner;

QString prepareFile()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir dir(folder);
    if (!dir.exists() && !dir.mkpath(QStringLiteral(".")))
        qWarning() << "[LocalStorage] 无法创建存储目录:" << folder;
    QFile::setPermissions(folder, kFolderPermissions);

    const QString path = folder + QStringLiteral("/norvane_settings.ini");
    // Created empty up front so the settings object's later rewrites keep these permissions.
    QFile file(path);
    if (!file.exists() && file.open(QIODevice::WriteOnly))
        file.close();
    QFile::setPermissions(path, kFilePermissions);
    return path;
}

} // namespace

LocalStorage *LocalStorage::instance()
{
    static LocalStorage storage;
    return &storage;
}

LocalStorage::LocalStorage()
    : m_settings(new QSettings(prepareFile(), QSettings::IniFormat, this))
{
    // Flush while the event loop still exists; the destructor flushes again as a last resort.
    if (QCoreApplication *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &LocalStorage::sync);
    qDebug() << "[LocalStorage] 初始化完成, 存储路径:" << m_settings->fileName();
}

LocalStorage::~LocalStorage()
{
    sync();
}

QString LocalStorage::getString(const QString &key, const QString &defaultValue) const
{
    return m_settings->value(key, defaultValue).toString();
}

int LocalStorage::getInt(const QString &key, int defaultValue) const
{
    return m_settings->value(key, defaultValue).toInt();
}

void LocalStorage::setString(const QString &key, const QString &value)
{
    m_settings->setValue(key, value);
    emit valueChanged(key);
}

void LocalStorage::setBool(const QString &key, bool value)
{
    m_settings->setValue(key, value);
    emit valueChanged(key);
}

void LocalStorage::remove(const QString &key)
{
    m_settings->remove(key);
    emit valueChanged(key);
}

QString LocalStorage::filePath() const
{
    return m_settings->fileName();
}

void LocalStorage::sync()
{
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError)
        qWarning() << "[LocalStorage] 写入存储文件失败:" << m_settings->fileName();
}

} // namespace Norvane::Api::Storage
