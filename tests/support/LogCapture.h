#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <chrono>
#include <optional>

// Records every message of the Qt message channel while it lives.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();

    QStringList messages() const;
    bool contains(const QString &text) const;
    int count(const QString &text) const;
    // When the first message equal to `text` came, on the steady clock; nullopt when none came.
    std::optional<std::chrono::steady_clock::time_point> firstTimeOf(const QString &text) const;
    void clear();

private:
    QtMessageHandler m_previous;
};
