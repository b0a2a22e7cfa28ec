#pragma once

#include "api/network/ApiResponse.h"

#include <QJsonObject>
#include <QMap>
#include <QNetworkRequest>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

namespace Norvane::Api::Network {

// The one REST client of the service's back end.
class HttpClient : public QObject
{
    Q_OBJECT

public:
    using Callback = std::function<void(const ApiResponse &)>;
    using QueryItems = QMap<QString, QString>;

    static constexpr int kDefaultTransferTimeout = 30000;

    static HttpClient *instance();

    void get(const QString &endpoint, Callback callback = {}, const QueryItems &query = {});
    void getNoAuth(const QString &endpoint, Callback callback = {}, const QueryItems &query = {});
    void post(const QString &endpoint, const QJsonObject &body, Callback callback = {});
    void postNoAuth(const QString &endpoint, const QJsonObject &body, Callback callback = {});

    void setAuthToken(const QString &token);
    void clearAuthToken();
    QString authToken() const { return m_authToken; }

    // Runs the event loop until every request under way has its answer or its transfer
    // time-out: what the program sends as it ends (the farewell beat) still goes out.
    void finishOpenRequests();

    void setApiEncryption(bool enabled, const QString &secretKey);
    bool isApiEncryptionEnabled() const { return m_apiEncryptEnabled; }

    QString baseUrl() const { return m_baseUrl; }
    void setBaseUrl(const QString &baseUrl) { m_baseUrl = baseUrl; }
    int transferTimeout() const { return m_transferTimeout; }
    void setTransferTimeout(int milliseconds) { m_transferTimeout = milliseconds; }

signals:
    void authenticationRequired();
    void networkError(const QString &errorMessage);

private:
    HttpClient();
    static void releaseNetworkManager();

    struct DecodedBody
    {
        QByteArray body;
        bool signatureRejected = false;
    };

    QUrl buildUrl(const QString &endpoint, const QueryItems &query) const;
    QNetworkRequest createRequest(const QUrl &url, bool withAuth) const;
    // Null once the application has ended: the request is then dropped with a warning.
    QNetworkAccessManager *liveNetworkManager(const QUrl &url) const;
    void sendGet(const QString &endpoint, const QueryItems &query, bool withAuth, Callback callback);
    void sendPost(const QString &endpoint, const QJsonObject &body, bool withAuth, Callback callback);
    void handleReply(QNetworkReply *reply, Callback callback);
    void onReplyError(QNetworkReply *reply, int code);
    void onReplyFinished(QNetworkReply *reply, const Callback &callback);
    DecodedBody decryptResponse(const QByteArray &body) const;

    QNetworkAccessManager *m_networkManager;
    QString m_authToken;
    QString m_baseUrl;
    int m_transferTimeout = kDefaultTransferTimeout;
    bool m_apiEncryptEnabled = false;
    QString m_apiSecretKey;
};

} // namespace Norvane::Api::Network
