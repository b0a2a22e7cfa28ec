#pragma once

#include <QObject>
#include <QString>

class QSettings;

namespace Norvane::Api::Storage {

// The client's persistent local state: one INI file in the user's application-data folder.
class LocalStorage : public QObject
{
    Q_OBJECT

public:
    static LocalStorage *instance();
    ~LocalStorage() override;

    QString getString(const QString &key, const QString &defaultValue = QString()) const;
    int getInt(const QString &key, int defaultValue = 0) const;
    void setString(const QString &key, const QString &value);
    void setBool(const QString &key, bool value);
    void remove(const QString &key);

    QString filePath() const;
    // Writes pending changes now, for state that must survive a crash of the client.
    void sync();

signals:
    void valueChanged(const QString &key);

private:
    LocalStorage();

    QSettings *m_settings;
};

} // namespace Norvane::Api::Storage
