#include "api/storage/LocalStorage.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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
    // Anything else standing at the path (a folder, say) is left as it is; writes then fail.
    if (QFileInfo(path).isFile())
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
    changed(key);
}

void LocalStorage::setBool(const QString &key, bool value)
{
    m_settings->setValue(key, value);
    changed(key);
}

void LocalStorage::remove(const QString &key)
{
    m_settings->remove(key);
    changed(key);
}

QString LocalStorage::filePath() const
{
    return m_settings->fileName();
}

void LocalStorage::changed(const QString &key)
{
    m_unsaved = true;
    if (!m_flushScheduled) {
        m_flushScheduled = true;
        QMetaObject::invokeMethod(this, [this] {
            m_flushScheduled = false;
            sync();
        }, Qt::QueuedConnection);
    }
    emit valueChanged(key);
}

void LocalStorage::sync()
{
    m_settings->sync();
    if (!m_unsaved)
        return;
    const QSettings::Status status = m_settings->status();
    // The status keeps the first problem for good, a garbage line read before the rewrite
    // included, so then only the file itself tells whether the changes reached it.
    if (status != QSettings::NoError && !fileHoldsTheSettings()) {
        qWarning() << "[LocalStorage] 写入存储文件失败:" << m_settings->fileName();
        return;
    }
    m_unsaved = false;
    if (status == QSettings::NoError)
        return;
    if (status == QSettings::FormatError)
        qWarning() << "[LocalStorage] 存储文件中无法解析的内容已在重写时丢弃:" << m_settings->fileName();
    // Read afresh from the sound file, the settings object starts without the old status.
    const QString path = m_settings->fileName();
    delete m_settings;
    m_settings = new QSettings(path, QSettings::IniFormat, this);
}

bool LocalStorage::fileHoldsTheSettings() const
{
    const QSettings onDisk(m_settings->fileName(), QSettings::IniFormat);
    if (onDisk.status() != QSettings::NoError)
        return false;
    const QStringList keys = m_settings->allKeys();
    if (onDisk.allKeys() != keys)
        return false;
    // The file holds texts; the settings object may still hold the values as they were set.
    for (const QString &key : keys) {
        if (onDisk.value(key).toString() != m_settings->value(key).toString())
            return false;
    }
    return true;
}

} // namespace Norvane::Api::Storage
