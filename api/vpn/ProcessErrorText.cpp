#include "api/vpn/ProcessErrorText.h"

namespace Norvane::Api::Vpn {

QString processErrorText(QProcess::ProcessError error, const QString &program)
{
    switch (error) {
    case QProcess::FailedToStart:
        return program + QStringLiteral("启动失败，请检查文件是否存在");
    case QProcess::Crashed:
        return program + QStringLiteral("进程崩溃");
    case QProcess::Timedout:
        return program + QStringLiteral("进程超时");
    case QProcess::ReadError:
        return program + QStringLiteral("进程读取错误");
    case QProcess::WriteError:
        return program + QStringLiteral("进程写入错误");
    default:
        return program + QStringLiteral("未知错误");
    }
}

} // namespace Norvane::Api::Vpn
