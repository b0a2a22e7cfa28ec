#pragma once

#include "fakes/FakeQmlApiAdapter.h"

namespace Norvane::Testing {

// The fake bridge as QML tests publish it: the adapter's interface plus the means to read the
// recorded calls and set the state that the next reads and calls see.
class FakeApi : public FakeQmlApiAdapter
{
    Q_OBJECT

public:
    explicit FakeApi(QObject *parent = nullptr);

    Q_INVOKABLE QStringList calls() const;
    Q_INVOKABLE int callCount(const QString &name) const;
    Q_INVOKABLE void clearCalls();

    // Keys as the adapter's property names; emits nothing, the test emits the change signals
    // in the order it wants.
    Q_INVOKABLE void setAccount(const QVariantMap &account);
    Q_INVOKABLE void setConnectVpnResult(bool result);
    Q_INVOKABLE void setPermissionCode(int code);

    // Account pages: the order of a page's logs and its calls, read from one channel.
    Q_INVOKABLE void setEchoCalls(bool echo);

    // Connection: the failure connectVpn reports while it runs (code 0: none), and the text that
    // getVpnFailureReasonText gives for a code.
    Q_INVOKABLE void setConnectVpnFailure(int reasonCode, const QString &message);
    Q_INVOKABLE void setFailureReasonText(int reasonCode, const QString &text);
};

} // namespace Norvane::Testing
