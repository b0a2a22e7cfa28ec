#pragma once

#include <QProcess>
#include <QString>

namespace Norvane::Api::Vpn {

// The text the runners log and report for an error of their program's process, given the name
// the texts give the program ("XRay", "tun2socks").
QString processErrorText(QProcess::ProcessError error, const QString &program);

} // namespace Norvane::Api::Vpn
