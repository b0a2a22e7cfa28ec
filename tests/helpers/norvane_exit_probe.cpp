// Ends its application object with a request of the REST client still on its way, then asks
// for one more after it, as the client's singletons do at process exit.
//   norvane_exit_probe BASE_URL
#include "api/network/HttpClient.h"

#include <QCoreApplication>
#include <QNetworkReply>

using Norvane::Api::Network::HttpClient;

int main(int argc, char *argv[])
{
    if (argc != 2)
        return 2;
    {
        QCoreApplication app(argc, argv);
        HttpClient::instance()->setBaseUrl(QString::fromLocal8Bit(argv[1]));
        HttpClient::instance()->getNoAuth(QStringLiteral("echo"));
        // Ends once the request has gone out, its answer still to come.
        const QList<QNetworkReply *> replies = HttpClient::instance()->findChildren<QNetworkReply *>();
        if (replies.size() != 1)
            return 3;
        QObject::connect(replies.first(), &QNetworkReply::requestSent, &app, &QCoreApplication::quit);
        app.exec();
    }
    HttpClient::instance()->getNoAuth(QStringLiteral("echo"));
    return 0;
}
