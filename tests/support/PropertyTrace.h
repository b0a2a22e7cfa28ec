#pragma once

#include <QHash>
#include <QObject>
#include <QStringList>

// Records, in order, every value that the named properties of an object take, as
// "name=value" lines, through their change signals: a state the object only passes through
// (a control that is connecting for a moment) shows in the trace whatever the timing.
class PropertyTrace : public QObject
{
    Q_OBJECT

public:
    PropertyTrace(QObject *target, const QList<QByteArray> &properties);

    QStringList lines() const { return m_lines; }
    // The index of `line` in the trace from `from` on, or -1.
    int indexOf(const QString &line, int from = 0) const { return m_lines.indexOf(line, from); }
    void clear() { m_lines.clear(); }

private slots:
    void record();

private:
    QObject *m_target;
    // The property that each change signal announces, by the signal's index.
    QHash<int, int> m_propertyOfSignal;
    QStringList m_lines;
};
