#pragma once

#include <QString>
#include <QStringList>
#include <QTest>

#include <functional>

// What one service completion received, and how often it ran.
template<typename Result>
struct Outcome
{
    int calls = 0;
    bool success = false;
    QString message;
    Result result;

    std::function<void(bool, const QString &, const Result &)> callback(QStringList *events = nullptr)
    {
        return [this, events](bool ok, const QString &text, const Result &value) {
            ++calls;
            success = ok;
            message = text;
            result = value;
            if (events)
                *events << QStringLiteral("callback");
        };
    }

    bool wait() const { return QTest::qWaitFor([this]() { return calls > 0; }, 10000); }
};
