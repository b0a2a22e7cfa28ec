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
    // Writes pending changes now, for state that must survive a crash of the client. Writes
    // are also flushed on the event loop soon after they are made; a flush that leaves the
    // file without them logs a warning.
    void sync();

signals:
    void valueChanged(const QString &key);

private:
    LocalStorage();

    void changed(const QString &key);
    bool fileHoldsTheSettings() const;

    QSettings *m_settings;
    bool m_flushScheduled = false;
    bool m_unsaved = false;     // changes made that no flush has found on disk yet
};

} // namespace Norvane::Api::Storage
