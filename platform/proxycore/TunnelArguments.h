#pragma once

#include <QString>
#include <QStringList>

namespace Norvane::Platform {

// The tunnel program's command line as the client gives it:
// -device NAME -proxy socks5://HOST:PORT -interface NAME, each option once, in any order.
class TunnelArguments
{
public:
    static TunnelArguments parse(const QStringList &arguments);

    bool isValid() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    QString device() const { return m_device; }
    QString proxy() const { return m_proxy; }
    QString interfaceName() const { return m_interface; }

private:
    QString m_device;
    QString m_proxy;
    QString m_interface;
    QString m_error;
};

} // namespace Norvane::Platform
