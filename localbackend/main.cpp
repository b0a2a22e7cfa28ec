// norvane-local-backend: the service's REST back end played on 127.0.0.1 from a seed document,
// for running the client against it. The first line on stdout tells where it listens.

#include "localbackend/ApiRoutes.h"
#include "localbackend/LocalBackendServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QSslCertificate>
#include <QSslKey>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>
#include <csignal>
#include <unistd.h>
#endif

using Norvane::LocalBackend::ApiRoutes;
using Norvane::LocalBackend::LocalBackendServer;

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "norvane-local-backend: %s\n", qPrintable(message));
    return 1;
}

bool readFile(const QString &path, QByteArray *contents, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    *contents = file.readAll();
    return true;
}

#ifdef Q_OS_UNIX
int signalPipe[2] = {-1, -1};

void writeToSignalPipe(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

// SIGTERM and SIGINT leave the event loop, so the server closes its sockets before exit.
void quitOnTerminationSignals(QCoreApplication &app)
{
    if (::pipe(signalPipe) != 0)
        return; // default termination still stops the program
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    struct sigaction action = {};
    action.sa_handler = writeToSignalPipe;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}
#endif

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("norvane-local-backend"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Plays the service's REST back end under /api/v1/ on 127.0.0.1."));
    parser.addHelpOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Port to listen on; 0 picks a free one."),
                                        QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption seedOption(QStringLiteral("seed"),
                                        QStringLiteral("Seed JSON document in place of the built-in one."),
                                        QStringLiteral("FILE"));
    const QCommandLineOption certOption(QStringLiteral("tls-cert"),
                                        QStringLiteral("PEM certificate; serves HTTPS with --tls-key."),
                                        QStringLiteral("FILE"));
    const QCommandLineOption keyOption(QStringLiteral("tls-key"),
                                       QStringLiteral("PEM private key of the certificate."),
                                       QStringLiteral("FILE"));
    parser.addOptions({portOption, seedOption, certOption, keyOption});

    if (!parser.parse(QCoreApplication::arguments()))
        return fail(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first()));

    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    if (!portOk || port > 65535)
        return fail(QStringLiteral("--port needs a number from 0 to 65535, not \"%1\"").arg(parser.value(portOption)));
    if (parser.isSet(certOption) != parser.isSet(keyOption))
        return fail(QStringLiteral("--tls-cert and --tls-key go together"));

    LocalBackendServer server;
    ApiRoutes routes(server);
    QString error;
    if (parser.isSet(seedOption) && !routes.loadSeedFile(parser.value(seedOption), &error))
        return fail(error);

    bool listening = false;
    if (parser.isSet(certOption)) {
        QByteArray certPem;
        QByteArray keyPem;
        if (!readFile(parser.value(certOption), &certPem, &error) || !readFile(parser.value(keyOption), &keyPem, &error))
            return fail(error);
        const QSslCertificate certificate(certPem, QSsl::Pem);
        if (certificate.isNull())
            return fail(QStringLiteral("%1 holds no PEM certificate").arg(parser.value(certOption)));
        QSslKey key(keyPem, QSsl::Rsa, QSsl::Pem);
        if (key.isNull())
            key = QSslKey(keyPem, QSsl::Ec, QSsl::Pem);
        if (key.isNull())
            return fail(QStringLiteral("%1 holds no PEM RSA or EC private key").arg(parser.value(keyOption)));
        listening = server.listenTls(certificate, key, quint16(port));
    } else {
        listening = server.listen(quint16(port));
    }
    if (!listening)
        return fail(QStringLiteral("cannot listen on 127.0.0.1 port %1").arg(port));

    QObject::connect(&server, &LocalBackendServer::requestReceived,
                     [](const QByteArray &method, const QString &path) {
                         qInfo().noquote() << "[LocalBackend]" << method << path;
                     });
#ifdef Q_OS_UNIX
    quitOnTerminationSignals(app);
#endif

    std::printf("norvane-local-backend listening on %s\n", qPrintable(server.baseUrl().toString()));
    std::fflush(stdout);
    return app.exec();
}
