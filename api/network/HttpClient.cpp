#include "api/network/HttpClient.h"

#include "api/network/LogMasker.h"
#include "api/security/CryptoUtil.h"

#include <QDebug>
#include <QJsonDocument>
#include <QMetaEnum>
#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>
#include <QUrlQuery>

namespace Norvane::Api::Network {

namespace {

QString defaultBaseUrl()
{
    const QString fromEnvironment = qEnvironmentVariable("NORVANE_API_BASE_URL");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return QStringLiteral("https://" NORVANE_API_HOST "/api/v1/");
}

// Signatures are compared without an early exit so timing reveals nothing about the secret.
bool equalInConstantTime(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a.at(i) ^ b.at(i));
    return difference == 0;
}

// Codes of an exchange that broke down (refused, closed, time-out, abort, a proxy's connection,
// a garbled transfer), as opposed to those the network layer gives an HTTP error status.
bool isTransportError(QNetworkReply::NetworkError code)
{
    switch (code) {
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::ProtocolFailure:
        return true;
    default:
        return code > QNetworkReply::NoError && code <= QNetworkReply::UnknownNetworkError;
    }
}

} // namespace

HttpClient *HttpClient::instance()
{
    static HttpClient client;
    return &client;
}

HttpClient::HttpClient()
    : m_networkManager(new QNetworkAccessManager(this))
    , m_baseUrl(defaultBaseUrl())
{
    // The client outlives the application object, but the network manager's worker thread must
    // end while the application still exists: ended later, it delivers events to no application.
    qAddPostRoutine(&HttpClient::releaseNetworkManager);
}

void HttpClient::releaseNetworkManager()
{
    HttpClient *client = instance();
    delete client->m_networkManager;
    client->m_networkManager = nullptr;
}

void HttpClient::get(const QString &endpoint, Callback callback, const QueryItems &query)
{
    sendGet(endpoint, query, true, std::move(callback));
}

void HttpClient::getNoAuth(const QString &endpoint, Callback callback, const QueryItems &query)
{
    sendGet(endpoint, query, false, std::move(callback));
}

void HttpClient::post(const QString &endpoint, const QJsonObject &body, Callback callback)
{
    sendPost(endpoint, body, true, std::move(callback));
}

void HttpClient::postNoAuth(const QString &endpoint, const QJsonObject &body, Callback callback)
{
    sendPost(endpoint, body, false, std::move(callback));
}

void HttpClient::setAuthToken(const QString &token)
{
    m_authToken = token;
    qDebug() << "[HttpClient] 设置认证Token";
}

void HttpClient::clearAuthToken()
{
    m_authToken.clear();
    qDebug() << "[HttpClient] 清除认证Token";
}

void HttpClient::finishOpenRequests()
{
    if (!m_networkManager)
        return;
    int open = 0;
    QEventLoop loop;
    const QList<QNetworkReply *> replies = m_networkManager->findChildren<QNetworkReply *>();
    for (QNetworkReply *reply : replies) {
        if (!reply->isRunning())
            continue;
        ++open;
        // Connected after the reply's own handler, so its callback has run when the wait ends.
        connect(reply, &QNetworkReply::finished, &loop, [&open, &loop]() {
            if (--open == 0)
                loop.quit();
        });
    }
    if (open == 0)
        return;
    qDebug() << "[HttpClient] 等待未完成的请求:" << open;
    // Each request ends by its own transfer time-out; this only guards against a lost signal.
    QTimer::singleShot(m_transferTimeout + 1000, &loop, &QEventLoop::quit);
    loop.exec();
}

void HttpClient::setApiEncryption(bool enabled, const QString &secretKey)
{
    m_apiEncryptEnabled = enabled;
    m_apiSecretKey = secretKey;
    qDebug() << "[HttpClient] API加密:" << (enabled ? "已启用" : "已禁用");
}

QUrl HttpClient::buildUrl(const QString &endpoint, const QueryItems &query) const
{
    QString text = m_baseUrl;
    if (!text.endsWith(QLatin1Char('/')))
        text += QLatin1Char('/');
    text += endpoint.startsWith(QLatin1Char('/')) ? endpoint.mid(1) : endpoint;

    QUrl url(text, QUrl::TolerantMode);
    if (!query.isEmpty()) {
        QUrlQuery urlQuery;
        for (auto it = query.cbegin(); it != query.cend(); ++it)
            urlQuery.addQueryItem(it.key(), it.value());
        url.setQuery(urlQuery);
    }
    return url;
}

QNetworkRequest HttpClient::createRequest(const QUrl &url, bool withAuth) const
{
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setRawHeader("Accept", "application/json");
    request.setRawHeader("X-Device-Type", "windows");
    request.setRawHeader("X-App-Version", "1.0.0");
    if (withAuth && !m_authToken.isEmpty())
        request.setRawHeader("Authorization", QStringLiteral("Bearer %1").arg(m_authToken).toUtf8());
    request.setTransferTimeout(m_transferTimeout);
    return request;
}

QNetworkAccessManager *HttpClient::liveNetworkManager(const QUrl &url) const
{
    if (!m_networkManager)
        qWarning() << "[HttpClient] 应用程序已结束, 请求未发送:" << url.toString();
    return m_networkManager;
}

void HttpClient::sendGet(const QString &endpoint, const QueryItems &query, bool withAuth,
                         Callback callback)
{
    const QUrl url = buildUrl(endpoint, query);
    const QNetworkRequest request = createRequest(url, withAuth);
    qDebug() << (withAuth ? "[HttpClient] GET请求:" : "[HttpClient] GET请求(无认证):")
             << url.toString();
    if (QNetworkAccessManager *manager = liveNetworkManager(url))
        handleReply(manager->get(request), std::move(callback));
}

void HttpClient::sendPost(const QString &endpoint, const QJsonObject &body, bool withAuth,
                          Callback callback)
{
    const QUrl url = buildUrl(endpoint, {});
    const QNetworkRequest request = createRequest(url, withAuth);
    const QByteArray data = QJsonDocument(body).toJson(QJsonDocument::Compact);
    qDebug() << (withAuth ? "[HttpClient] POST请求:" : "[HttpClient] POST请求(无认证):")
             << url.toString();
    // Unauthenticated posts carry the password, so their body is never logged.
    if (withAuth)
        qDebug() << "[HttpClient] 请求体:" << LogMasker::maskSecrets(data);
    if (QNetworkAccessManager *manager = liveNetworkManager(url))
        handleReply(manager->post(request, data), std::move(callback));
}

void HttpClient::handleReply(QNetworkReply *reply, Callback callback)
{
    connect(reply, &QNetworkReply::errorOccurred, this,
            [this, reply](QNetworkReply::NetworkError code) { onReplyError(reply, code); });
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, callback = std::move(callback)]() { onReplyFinished(reply, callback); });
}

void HttpClient::onReplyError(QNetworkReply *reply, int code)
{
    if (code == QNetworkReply::NoError)
        return;
    const char *name = QMetaEnum::fromType<QNetworkReply::NetworkError>().valueToKey(code);
    qDebug() << "[HttpClient] 网络错误:" << (name ? name : "") << reply->errorString();
    emit networkError(reply->errorString());
}

void HttpClient::onReplyFinished(QNetworkReply *reply, const Callback &callback)
{
    ApiResponse response;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();

    if (reply->error() != QNetworkReply::NoError) {
        const QByteArray body = reply->readAll();
        // A transport error counts whatever status line came first: the body is not whole.
        const bool transportFailure = status <= 0 || isTransportError(reply->error());
        qDebug() << "[HttpClient] 请求失败, HTTP状态码:" << status;
        qDebug() << "[HttpClient] 错误:" << reply->errorString();
        if (transportFailure) {
            // Part of a body is no reply and may be cut anywhere, even inside a secret.
            qDebug() << "[HttpClient] 响应数据: 传输未完成, 已收到" << body.size() << "字节";
            response.networkError = reply->error();
            response.errorString = reply->errorString();
        } else {
            qDebug() << "[HttpClient] 响应数据:" << LogMasker::maskSecrets(body);
            response.rawData = body;
            response.statusCode = status;
            response.json = ApiResponse::parseObject(body);
        }
    } else {
        QByteArray body = reply->readAll();
        if (m_apiEncryptEnabled && !m_apiSecretKey.isEmpty()) {
            DecodedBody decoded = decryptResponse(body);
            body = decoded.body;
            response.signatureRejected = decoded.signatureRejected;
        }
        response.rawData = body;
        response.statusCode = status;
        if (response.signatureRejected)
            response.errorString = QStringLiteral("API响应签名验证失败");
        else
            response.json = ApiResponse::parseObject(body);
        qDebug() << "[HttpClient] 响应成功, HTTP状态码:" << status;
        qDebug() << "[HttpClient] 响应数据:" << LogMasker::maskSecrets(body).left(500);
    }

    if (response.statusCode == 401) {
        qDebug() << "[HttpClient] Token无效，需要重新登录";
        emit authenticationRequired();
    }
    if (callback)
        callback(response);
    reply->deleteLater();
}

HttpClient::DecodedBody HttpClient::decryptResponse(const QByteArray &body) const
{
    const QJsonObject object = ApiResponse::parseObject(body);
    if (object.value(QStringLiteral("encrypted")) != QJsonValue(true))
        return {body, false};
    const QString data = object.value(QStringLiteral("data")).toString();
    const QString signature = object.value(QStringLiteral("signature")).toString();
    if (data.isEmpty())
        return {body, false};

    const QString expected = Security::CryptoUtil::md5Hex(data + m_apiSecretKey);
    if (!equalInConstantTime(expected.toLatin1(), signature.toUtf8())) {
        qWarning() << "[HttpClient] API响应签名验证失败";
        return {body, true};
    }
    qDebug() << "[HttpClient] API响应解密成功";
    return {QByteArray::fromBase64(data.toUtf8()), false};
}

} // namespace Norvane::Api::Network
