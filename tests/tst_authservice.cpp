#include "api/models/User.h"
#include "api/network/HttpClient.h"
#include "api/security/TokenManager.h"
#include "api/services/AuthService.h"
#include "api/storage/LocalStorage.h"
#include "support/BackendTestRig.h"
#include "support/WaitForCount.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>

using Norvane::Api::Models::User;
using Norvane::Api::Network::HttpClient;
using Norvane::Api::Security::TokenManager;
using Norvane::Api::Services::AuthService;
using Norvane::Api::Storage::LocalStorage;
using Norvane::LocalBackend::RecordedRequest;
using Norvane::LocalBackend::Reply;

namespace {

const QString kInvalid = QStringLiteral("响应数据无效");

QJsonObject userJson(int id, const QString &email, const QString &name = QStringLiteral("用户"))
{
    return {{"id", id}, {"email", email}, {"name", name}, {"status", "active"}};
}

User user(int id, const QString &email, const QString &name = QStringLiteral("用户"))
{
    return User::fromJson(userJson(id, email, name));
}

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray authReply(const QJsonValue &token, const QJsonObject &data)
{
    return compact({{"success", true}, {"message", "登录成功"}, {"token", token}, {"data", data}});
}

QString storedUser()
{
    return LocalStorage::instance()->getString("user_info", "absent");
}

QString storedToken()
{
    return LocalStorage::instance()->getString("auth_token", "absent");
}

} // namespace

class AuthServiceTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void requestShapes_data();
    void requestShapes();
    void successfulSignInOrder_data();
    void successfulSignInOrder();
    void refusedSignInStoresNothing_data();
    void refusedSignInStoresNothing();
    void logoutAlwaysClearsLogin_data();
    void logoutAlwaysClearsLogin();
    void currentUserIsStored();
    void currentUserRejectedKeepsStoredUser_data();
    void currentUserRejectedKeepsStoredUser();
    void currentUserReplyAfterLoginChangeIsDropped_data();
    void currentUserReplyAfterLoginChangeIsDropped();

private:
    void signIn(const QString &token, const User &account);
    AuthService::UserCallback recordingCallback();
    void runOperation(const QString &operation);
    bool waitForCallbacks(int count = 1);

    BackendTestRig m_rig;
    QStringList m_events;
    int m_callbacks = 0;
};

void AuthServiceTest::initTestCase()
{
    QVERIFY(m_rig.start());

    // The client's signals are watched before the service exists, so a 401 is seen
    // from the client first and then as the service's re-emission.
    HttpClient *client = HttpClient::instance();
    connect(client, &HttpClient::authenticationRequired, this,
            [this] { m_events << "client.authenticationRequired"; });
    connect(client, &HttpClient::networkError, this, [this] { m_events << "client.networkError"; });

    TokenManager *tokens = TokenManager::instance();
    connect(tokens, &TokenManager::tokenChanged, this,
            [this] { m_events << "tokens.tokenChanged client=" + HttpClient::instance()->authToken(); });
    connect(tokens, &TokenManager::userChanged, this, [this] { m_events << "tokens.userChanged"; });
    connect(tokens, &TokenManager::loginStateChanged, this, [this](bool loggedIn) {
        m_events << QStringLiteral("tokens.loginStateChanged(%1)").arg(loggedIn ? "true" : "false");
    });

    AuthService *service = AuthService::instance();
    connect(service, &AuthService::authenticationRequired, this,
            [this] { m_events << "service.authenticationRequired"; });
    connect(service, &AuthService::loginSuccess, this,
            [this](const User &u) { m_events << "loginSuccess(" + u.email + ")"; });
    connect(service, &AuthService::loginFailed, this,
            [this](const QString &text) { m_events << "loginFailed(" + text + ")"; });
    connect(service, &AuthService::registerSuccess, this,
            [this](const User &u) { m_events << "registerSuccess(" + u.email + ")"; });
    connect(service, &AuthService::registerFailed, this,
            [this](const QString &text) { m_events << "registerFailed(" + text + ")"; });
    connect(service, &AuthService::logoutSuccess, this, [this] { m_events << "logoutSuccess"; });
    connect(service, &AuthService::userInfoUpdated, this,
            [this](const User &u) { m_events << "userInfoUpdated(" + u.email + ")"; });

    m_rig.backend().route("GET", "/api/v1/echo", [](const RecordedRequest &) {
        return Reply::json({{"success", true}});
    });
}

void AuthServiceTest::init()
{
    if (!TokenManager::instance()->token().isEmpty() || TokenManager::instance()->getUser().id != 0)
        TokenManager::instance()->logout();
    HttpClient::instance()->clearAuthToken();
    m_rig.reset();
    m_events.clear();
    m_callbacks = 0;
}

void AuthServiceTest::signIn(const QString &token, const User &account)
{
    TokenManager::instance()->login(token, account);
    HttpClient::instance()->setAuthToken(token);
    m_events.clear();
}

AuthService::UserCallback AuthServiceTest::recordingCallback()
{
    return [this](bool success, const QString &message, const User &u) {
        m_events << QStringLiteral("callback(%1,%2,%3)")
                        .arg(success ? "true" : "false", message, u.email);
        ++m_callbacks;
    };
}

void AuthServiceTest::runOperation(const QString &operation)
{
    AuthService *service = AuthService::instance();
    if (operation == "login")
        service->login("a@b.c", "pw", recordingCallback());
    else if (operation == "register with code")
        service->registerUser("r@b.c", "pw2", "小明", "INV42", recordingCallback());
    else if (operation == "register" || operation == "register without code")
        service->registerUser("r@b.c", "pw2", "小明", QString(), recordingCallback());
    else if (operation == "logout")
        service->logout([this](bool, const QString &) { ++m_callbacks; });
    else if (operation == "getCurrentUser")
        service->getCurrentUser(recordingCallback());
    else if (operation == "refreshUserInfo")
        service->refreshUserInfo(recordingCallback());
    else
        QFAIL(qPrintable("unknown operation " + operation));
}

bool AuthServiceTest::waitForCallbacks(int count)
{
    return waitForExactCount(m_callbacks, count);
}

void AuthServiceTest::requestShapes_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QByteArray>("method");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("authorized");
    QTest::addColumn<QString>("body");

    const QString device = R"("device_id":"%ID","device_name":"%NAME","device_type":"windows",)";
    QTest::newRow("login") << "login" << QByteArray("POST") << "/api/v1/auth/login" << false
                           << "{" + device + R"("email":"a@b.c","password":"pw"})";
    QTest::newRow("register with code")
        << "register with code" << QByteArray("POST") << "/api/v1/auth/register" << false
        << "{" + device
               + R"("email":"r@b.c","equipment":"Norvane加速器","name":"小明","password":"pw2",)"
                 R"("password_confirmation":"pw2","reffer_code":"INV42"})";
    QTest::newRow("register without code")
        << "register without code" << QByteArray("POST") << "/api/v1/auth/register" << false
        << "{" + device
               + R"("email":"r@b.c","equipment":"Norvane加速器","name":"小明","password":"pw2",)"
                 R"("password_confirmation":"pw2","reffer_code":null})";
    QTest::newRow("logout") << "logout" << QByteArray("POST") << "/api/v1/auth/logout" << true << "{}";
    QTest::newRow("current user") << "getCurrentUser" << QByteArray("GET") << "/api/v1/auth/me" << true
                                  << "";
    QTest::newRow("refresh") << "refreshUserInfo" << QByteArray("GET") << "/api/v1/auth/me" << true
                             << "";
}

void AuthServiceTest::requestShapes()
{
    QFETCH(QString, operation);
    QFETCH(QByteArray, method);
    QFETCH(QString, path);
    QFETCH(bool, authorized);
    QFETCH(QString, body);

    m_rig.answer(method, path, Reply::json({{"success", true}}));
    // Logged in, so leaving the token off the sign-in requests is the service's choice.
    signIn("tok-shape", user(3, "old@b.c"));
    runOperation(operation);
    QVERIFY(waitForCallbacks());

    const QList<RecordedRequest> requests = m_rig.backend().requests();
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().method, method);
    QCOMPARE(requests.first().path, path);
    QVERIFY(requests.first().query.isEmpty());
    QCOMPARE(requests.first().header("Authorization"),
             authorized ? QByteArray("Bearer tok-shape") : QByteArray());
    body.replace("%ID", TokenManager::instance()->getDeviceId());
    body.replace("%NAME", TokenManager::instance()->getDeviceName());
    QCOMPARE(QString::fromUtf8(requests.first().body), body);
}

void AuthServiceTest::successfulSignInOrder_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("signal");

    QTest::newRow("login") << "login" << "/api/v1/auth/login" << "loginSuccess";
    QTest::newRow("register") << "register" << "/api/v1/auth/register" << "registerSuccess";
}

void AuthServiceTest::successfulSignInOrder()
{
    QFETCH(QString, operation);
    QFETCH(QString, path);
    QFETCH(QString, signal);

    m_rig.answer("POST", path, Reply{200, authReply("tok-A", userJson(7, "a@b.c")), "application/json"});
    AuthService::UserCallback callback = [this](bool success, const QString &message, const User &u) {
        m_events << QStringLiteral("callback(%1,%2,%3) client=%4")
                        .arg(success ? "true" : "false", message, u.email,
                             HttpClient::instance()->authToken());
        ++m_callbacks;
        HttpClient::instance()->get("echo");
    };
    if (operation == "login")
        AuthService::instance()->login("a@b.c", "pw", callback);
    else
        AuthService::instance()->registerUser("a@b.c", "pw", "A", QString(), callback);
    QVERIFY(waitForCallbacks());

    QCOMPARE(m_events, QStringList({"tokens.tokenChanged client=", "tokens.userChanged",
                                    "tokens.loginStateChanged(true)",
                                    "callback(true,登录成功,a@b.c) client=tok-A",
                                    signal + "(a@b.c)"}));
    QVERIFY(TokenManager::instance()->isLoggedIn());
    QCOMPARE(storedToken(), QStringLiteral("tok-A"));
    QCOMPARE(TokenManager::instance()->getUser().id, 7);

    QTRY_COMPARE(m_rig.backend().requests("GET", "/api/v1/echo").size(), 1);
    QCOMPARE(m_rig.backend().requests("GET", "/api/v1/echo").first().header("Authorization"),
             QByteArray("Bearer tok-A"));
}

void AuthServiceTest::refusedSignInStoresNothing_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("message");

    const QByteArray refused =
        R"({"success":false,"message":"The given data was invalid.","errors":{"email":["邮箱或密码错误"]}})";
    QTest::newRow("login 422") << "login" << 422 << refused << "邮箱或密码错误";
    QTest::newRow("login success false")
        << "login" << 200 << QByteArray(R"({"success":false,"message":"账号已被禁用"})") << "账号已被禁用";
    QTest::newRow("login without token")
        << "login" << 200 << compact({{"success", true}, {"data", userJson(7, "a@b.c")}}) << kInvalid;
    QTest::newRow("login empty token") << "login" << 200 << authReply("", userJson(7, "a@b.c")) << kInvalid;
    QTest::newRow("login token not text")
        << "login" << 200 << authReply(12345, userJson(7, "a@b.c")) << kInvalid;
    QTest::newRow("login user id 0") << "login" << 200 << authReply("t", userJson(0, "a@b.c")) << kInvalid;
    QTest::newRow("login user without email") << "login" << 200 << authReply("t", userJson(7, "")) << kInvalid;
    QTest::newRow("login portal page")
        << "login" << 200 << QByteArray("<html><body>请先登录热点</body></html>") << kInvalid;
    QTest::newRow("register 422")
        << "register" << 422
        << QByteArray(R"({"success":false,"errors":{"email":["该邮箱已被注册"]}})") << "该邮箱已被注册";
    QTest::newRow("register without token")
        << "register" << 200 << compact({{"success", true}, {"data", userJson(7, "r@b.c")}}) << kInvalid;
}

void AuthServiceTest::refusedSignInStoresNothing()
{
    QFETCH(QString, operation);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, message);

    const QString path = operation == "login" ? "/api/v1/auth/login" : "/api/v1/auth/register";
    m_rig.answer("POST", path, Reply{status, body, "application/json"});
    // An earlier login stays in force when another sign-in attempt fails.
    signIn("tok-old", user(3, "old@b.c"));
    const QString userBefore = storedUser();

    runOperation(operation);
    QVERIFY(waitForCallbacks());

    QStringList expected;
    if (status >= 400)
        expected << "client.networkError";
    expected << "callback(false," + message + ",)" << operation + "Failed(" + message + ")";
    QCOMPARE(m_events, expected);
    QCOMPARE(storedToken(), QStringLiteral("tok-old"));
    QCOMPARE(storedUser(), userBefore);
    QCOMPARE(TokenManager::instance()->token(), QStringLiteral("tok-old"));
    QCOMPARE(HttpClient::instance()->authToken(), QStringLiteral("tok-old"));
}

void AuthServiceTest::logoutAlwaysClearsLogin_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("deadBackend");

    QTest::newRow("answered") << 200 << false;
    QTest::newRow("HTTP 500") << 500 << false;
    QTest::newRow("back end unreachable") << 0 << true;
}

void AuthServiceTest::logoutAlwaysClearsLogin()
{
    QFETCH(int, status);
    QFETCH(bool, deadBackend);

    m_rig.answer("POST", "/api/v1/auth/logout", Reply::json({{"success", status == 200}}, status ? status : 200));
    signIn("tok-old", user(3, "old@b.c"));
    const QString deviceId = TokenManager::instance()->getDeviceId();
    if (deadBackend)
        m_rig.refuseConnections();

    AuthService::instance()->logout([this](bool success, const QString &message) {
        m_events << QStringLiteral("callback(%1,%2) client=%3")
                        .arg(success ? "true" : "false", message, HttpClient::instance()->authToken());
        ++m_callbacks;
    });
    QVERIFY(waitForCallbacks());

    QStringList expected;
    if (status != 200)
        expected << "client.networkError";
    // The login is cleared before the client forgets the token, then the caller hears of it.
    expected << "tokens.tokenChanged client=tok-old" << "tokens.userChanged"
             << "tokens.loginStateChanged(false)" << "callback(true,登出成功) client="
             << "logoutSuccess";
    QCOMPARE(m_events, expected);
    QCOMPARE(storedToken(), QStringLiteral("absent"));
    QCOMPARE(storedUser(), QStringLiteral("absent"));
    QCOMPARE(LocalStorage::instance()->getString("device_id"), deviceId);
    QVERIFY(!TokenManager::instance()->isLoggedIn());
    QCOMPARE(m_rig.backend().requests("POST", "/api/v1/auth/logout").size(), deadBackend ? 0 : 1);
}

void AuthServiceTest::currentUserIsStored()
{
    QJsonObject fresh = userJson(7, "a@b.c", "新名字");
    fresh.insert("is_vip", true);
    m_rig.answer("GET", "/api/v1/auth/me", Reply::json({{"success", true}, {"data", fresh}}));
    signIn("tok-me", user(7, "a@b.c", "旧名字"));

    AuthService::instance()->getCurrentUser(recordingCallback());
    QVERIFY(waitForCallbacks());

    QCOMPARE(m_events, QStringList({"tokens.userChanged", "callback(true,获取成功,a@b.c)",
                                    "userInfoUpdated(a@b.c)"}));
    QCOMPARE(TokenManager::instance()->getUser().name, QStringLiteral("新名字"));
    QVERIFY(TokenManager::instance()->getUser().isVip);
    QCOMPARE(storedUser(), QString::fromUtf8(compact(User::fromJson(fresh).toJson())));
    QCOMPARE(storedToken(), QStringLiteral("tok-me"));
}

void AuthServiceTest::currentUserRejectedKeepsStoredUser_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("401")
        << 401 << QByteArray(R"({"message":"Unauthenticated."})")
        << QStringList({"client.networkError", "client.authenticationRequired",
                        "service.authenticationRequired", "callback(false,Unauthenticated.,)"});
    QTest::newRow("success false") << 200 << QByteArray(R"({"success":false,"message":"用户不存在"})")
                                   << QStringList({"callback(false,用户不存在,)"});
    QTest::newRow("portal page") << 200 << QByteArray("<html><body>请先登录热点</body></html>")
                                 << QStringList({"callback(false,响应数据无效,)"});
    QTest::newRow("success without data")
        << 200 << QByteArray(R"({"success":true})") << QStringList({"callback(false,响应数据无效,)"});
    QTest::newRow("data not an object")
        << 200 << QByteArray(R"({"success":true,"data":"a@b.c"})")
        << QStringList({"callback(false,响应数据无效,)"});
    QTest::newRow("user id 0") << 200 << compact({{"success", true}, {"data", userJson(0, "a@b.c")}})
                               << QStringList({"callback(false,响应数据无效,)"});
    QTest::newRow("user without email") << 200 << compact({{"success", true}, {"data", userJson(7, "")}})
                                        << QStringList({"callback(false,响应数据无效,)"});
}

void AuthServiceTest::currentUserRejectedKeepsStoredUser()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QStringList, expected);

    m_rig.answer("GET", "/api/v1/auth/me", Reply{status, body, "application/json"});
    signIn("tok-me", user(7, "a@b.c", "原名"));
    const QString userBefore = storedUser();

    AuthService::instance()->getCurrentUser(recordingCallback());
    QVERIFY(waitForCallbacks());

    QCOMPARE(m_events, expected);
    QCOMPARE(storedUser(), userBefore);
    QCOMPARE(storedToken(), QStringLiteral("tok-me"));
    QVERIFY(TokenManager::instance()->isLoggedIn());
    QCOMPARE(TokenManager::instance()->getUser().name, QStringLiteral("原名"));
}

void AuthServiceTest::currentUserReplyAfterLoginChangeIsDropped_data()
{
    QTest::addColumn<bool>("signInAgain");
    QTest::addColumn<QString>("userAfter");

    QTest::newRow("logged out meanwhile") << false << "absent";
    QTest::newRow("signed in as someone else meanwhile")
        << true << QString::fromUtf8(compact(user(8, "b@b.c").toJson()));
}

void AuthServiceTest::currentUserReplyAfterLoginChangeIsDropped()
{
    QFETCH(bool, signInAgain);
    QFETCH(QString, userAfter);

    m_rig.answer("POST", "/api/v1/auth/logout", Reply::json({{"success", true}}));
    m_rig.answer("POST", "/api/v1/auth/login", Reply{200, authReply("tok-B", userJson(8, "b@b.c")), "application/json"});
    signIn("tok-me", user(7, "a@b.c"));

    // The user query goes to a server of its own that holds the answer back until the login has
    // changed, however long that takes.
    QByteArray meRequest;
    QPointer<QTcpSocket> meConnection;
    QTcpServer heldBackEnd;
    QVERIFY(heldBackEnd.listen(QHostAddress::LocalHost));
    connect(&heldBackEnd, &QTcpServer::newConnection, &heldBackEnd, [&]() {
        meConnection = heldBackEnd.nextPendingConnection();
        connect(meConnection, &QTcpSocket::readyRead, meConnection, [&]() { meRequest += meConnection->readAll(); });
    });
    HttpClient::instance()->setBaseUrl(QStringLiteral("http://127.0.0.1:%1/api/v1/").arg(heldBackEnd.serverPort()));
    auto meReplies = std::make_shared<QStringList>();
    AuthService::instance()->getCurrentUser([meReplies](bool success, const QString &message, const User &u) {
        *meReplies << QStringLiteral("%1,%2,%3").arg(success ? "true" : "false", message, u.email);
    });
    QTRY_VERIFY(meRequest.contains("\r\n\r\n"));
    QVERIFY(meRequest.startsWith("GET /api/v1/auth/me HTTP/1.1\r\n"));
    m_rig.reset();

    if (signInAgain)
        AuthService::instance()->login("b@b.c", "pw", recordingCallback());
    else
        AuthService::instance()->logout([this](bool, const QString &) { ++m_callbacks; });
    QVERIFY(waitForCallbacks());
    QVERIFY(meReplies->isEmpty());

    QVERIFY(meConnection);
    const QByteArray body = compact({{"success", true}, {"data", userJson(7, "a@b.c", "迟到")}});
    meConnection->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: "
                        + QByteArray::number(body.size()) + "\r\n\r\n" + body);
    QTRY_COMPARE(meReplies->size(), 1);
    QTest::qWait(20);
    QCOMPARE(*meReplies, QStringList({"false,登录状态已变更,"}));
    QVERIFY(!m_events.join(' ').contains("userInfoUpdated"));
    QCOMPARE(storedUser(), userAfter);
}

QTEST_GUILESS_MAIN(AuthServiceTest)
#include "tst_authservice.moc"
