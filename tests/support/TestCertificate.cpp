#include "support/TestCertificate.h"

#include <QDebug>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TestCertificate::TestCertificate()
{
    m_error = generate();
    if (!m_error.isEmpty())
        qWarning().noquote() << "[TestCertificate]" << m_error;
}

QString TestCertificate::certificatePath() const
{
    return m_dir.filePath(QStringLiteral("certificate.pem"));
}

QString TestCertificate::keyPath() const
{
    return m_dir.filePath(QStringLiteral("key.pem"));
}

QString TestCertificate::generate()
{
    if (!m_dir.isValid())
        return QStringLiteral("cannot create a temporary folder: %1").arg(m_dir.errorString());
    const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    if (openssl.isEmpty())
        return QStringLiteral("the openssl command line tool is not on PATH; install the openssl package");

    QProcess process;
    process.start(openssl, {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                            "-subj", "/CN=127.0.0.1",
                            "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost",
                            "-addext", "basicConstraints=critical,CA:TRUE",
                            "-keyout", keyPath(), "-out", certificatePath()});
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return QStringLiteral("openssl did not finish: %1").arg(process.errorString());
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        return QStringLiteral("openssl failed with exit code %1: %2")
            .arg(process.exitCode())
            .arg(QString::fromLocal8Bit(process.readAllStandardError().trimmed()));
    }

    m_certificate = QSslCertificate(readAll(certificatePath()), QSsl::Pem);
    m_key = QSslKey(readAll(keyPath()), QSsl::Rsa, QSsl::Pem);
    if (m_certificate.isNull() || m_key.isNull())
        return QStringLiteral("openssl wrote no readable PEM certificate and key into %1").arg(m_dir.path());
    return {};
}
