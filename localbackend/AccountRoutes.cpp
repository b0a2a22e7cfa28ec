#include "localbackend/AccountRoutes.h"

#include "localbackend/Envelope.h"
#include "localbackend/RequestFields.h"

namespace Norvane::LocalBackend {

namespace {

constexpr int kMinPasswordLength = 6;
constexpr int kMaxNameLength = 50;

} // namespace

AccountRoutes::AccountRoutes(LocalBackendServer &server, AccountStore &accounts, const ConfigItems &configs)
    : m_accounts(accounts), m_configs(configs)
{
    server.route("POST", "/api/v1/auth/register", [this](const RecordedRequest &r) { return registerAccount(r); });
    server.route("POST", "/api/v1/auth/login", [this](const RecordedRequest &r) { return login(r); });
    server.route("POST", "/api/v1/auth/logout", [this](const RecordedRequest &r) { return logout(r); });
    server.route("GET", "/api/v1/auth/me", [this](const RecordedRequest &r) { return me(r); });
}

Reply AccountRoutes::registerAccount(const RecordedRequest &request)
{
    if (!m_configs.boolValue("enable_registration", true))
        return Envelope::failure(403, QStringLiteral("注册功能已关闭"));
    QJsonObject body;
    if (!Envelope::bodyOf(request, &body))
        return Envelope::badBody();

    QJsonObject errors;
    const QString email = RequestFields::text(body, "email").value_or(QString()).trimmed().toLower();
    if (email.isEmpty())
        Envelope::addError(&errors, "email", QStringLiteral("邮箱不能为空"));
    else if (!AccountStore::isValidEmail(email))
        Envelope::addError(&errors, "email", QStringLiteral("邮箱格式不正确"));
    else if (m_accounts.find(email))
        Envelope::addError(&errors, "email", QStringLiteral("该邮箱已被注册"));

    const QString password = RequestFields::text(body, "password").value_or(QString());
    if (password.isEmpty())
        Envelope::addError(&errors, "password", QStringLiteral("密码不能为空"));
    else if (password.size() < kMinPasswordLength)
        Envelope::addError(&errors, "password", QStringLiteral("密码至少需要%1位").arg(kMinPasswordLength));
    if (body.value("password_confirmation").toString() != password)
        Envelope::addError(&errors, "password_confirmation", QStringLiteral("两次输入的密码不一致"));

    const QJsonValue name = body.value("name");
    if (!name.isUndefined() && !name.isNull() && !name.isString())
        Envelope::addError(&errors, "name", QStringLiteral("用户名必须是文本"));
    else if (name.toString().size() > kMaxNameLength)
        Envelope::addError(&errors, "name", QStringLiteral("用户名不能超过%1个字符").arg(kMaxNameLength));

    if (!RequestFields::text(body, "device_id"))
        Envelope::addError(&errors, "device_id", QStringLiteral("设备ID不能为空"));
    const QJsonValue referral = body.value("reffer_code");
    if (!referral.isUndefined() && !referral.isNull() && !referral.isString())
        Envelope::addError(&errors, "reffer_code", QStringLiteral("邀请码必须是文本"));
    if (!errors.isEmpty())
        return Envelope::invalid(errors);

    Account account;
    account.email = email;
    account.password = password;
    account.name = name.toString().trimmed();
    account.createdAt = QDateTime::currentDateTimeUtc();
    const Account &created = m_accounts.add(account);
    return signedIn(created, QStringLiteral("注册成功"), 201);
}

Reply AccountRoutes::login(const RecordedRequest &request)
{
    QJsonObject body;
    if (!Envelope::bodyOf(request, &body))
        return Envelope::badBody();

    QJsonObject errors;
    const std::optional<QString> email = RequestFields::text(body, "email");
    const std::optional<QString> password = RequestFields::text(body, "password");
    if (!email)
        Envelope::addError(&errors, "email", QStringLiteral("邮箱不能为空"));
    if (!password)
        Envelope::addError(&errors, "password", QStringLiteral("密码不能为空"));
    if (!RequestFields::text(body, "device_id"))
        Envelope::addError(&errors, "device_id", QStringLiteral("设备ID不能为空"));
    if (!errors.isEmpty())
        return Envelope::invalid(errors);

    const Account *account = m_accounts.find(*email);
    if (!account || account->password != *password)
        return Envelope::failure(401, QStringLiteral("邮箱或密码错误"));
    if (account->status == u"banned")
        return Envelope::failure(403, QStringLiteral("账号已被封禁"));
    return signedIn(*account, QStringLiteral("登录成功"), 200);
}

Reply AccountRoutes::logout(const RecordedRequest &request)
{
    if (!m_accounts.authenticated(request))
        return Envelope::unauthorized();
    m_accounts.revokeToken(AccountStore::bearerToken(request));
    return Envelope::ok(QStringLiteral("登出成功"));
}

Reply AccountRoutes::me(const RecordedRequest &request)
{
    const Account *account = m_accounts.authenticated(request);
    if (!account)
        return Envelope::unauthorized();
    return Envelope::ok(QStringLiteral("获取成功"), account->toJson(QDateTime::currentDateTimeUtc()));
}

Reply AccountRoutes::signedIn(const Account &account, const QString &message, int status)
{
    const QString token = m_accounts.issueToken(account.id);
    return Reply::json({{"success", true},
                        {"message", message},
                        {"token", token},
                        {"data", account.toJson(QDateTime::currentDateTimeUtc())}},
                       status);
}

} // namespace Norvane::LocalBackend
