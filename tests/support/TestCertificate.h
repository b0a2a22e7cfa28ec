#pragma once

#include <QSslCertificate>
#include <QSslKey>
#include <QString>
#include <QTemporaryDir>

// A fresh self-signed certificate (its own CA) and RSA key for 127.0.0.1 and localhost, made by
// the openssl command line tool. The PEM files live in a temporary folder as long as the object.
class TestCertificate
{
public:
    TestCertificate();

    bool isValid() const { return m_error.isEmpty(); }
    QString errorString() const { return m_error; }

    QSslCertificate certificate() const { return m_certificate; }
    QSslKey key() const { return m_key; }
    QString certificatePath() const;
    QString keyPath() const;

private:
    QString generate();

    QTemporaryDir m_dir;
    QSslCertificate m_certificate;
    QSslKey m_key;
    QString m_error;
};
