#include "localbackend/AuthRoutes.h"

#include "localbackend/AuthGuard.h"
#include "localbackend/BackendState.h"
#include "localbackend/FieldErrors.h"
#include "localbackend/LocalBackendServer.h"
#include "localbackend/Replies.h"

#include <QDateTime>

namespace Norvane::LocalBackend {

namespace {

// Login and registration answer alike: the token beside the envelope, the user as "data".
Reply signedIn(BackendState &state, const Account &account, const QJsonObject &body,
               const QString &message, int status)
{
    const QString deviceId = body.value("device_id").toString();
    if (!deviceId.isEmpty()) {
        Device &device = state.device(deviceId);
        device.accountId = account.id;
        device.name = body.value("device_name").toString();
        device.type = body.value("device_type").toString();
    }
    const QJsonObject reply{{"success", true},
                            {"message", message},
                            {"token", state.issueToken(account.id)},
                            {"data", account.toJson()}};
    return Reply::json(reply, status);
}

void checkEmail(const QString &email, FieldErrors &errors)
{
    if (email.isEmpty())
        errors.add("email", QStringLiteral("邮箱不能为空"));
    else if (!Account::isEmailAddress(email))
        errors.add("email", QStringLiteral("邮箱格式不正确"));
}

Reply registerAccount(BackendState &state, const RecordedRequest &request)
{
    if (!state.configBool("enable_registration", true))
        return Replies::failure(403, QStringLiteral("注册功能已关闭"));

    const QJsonObject body = request.jsonBody();
    const QString email = body.value("email").toString().trimmed();
    const QString password = body.value("password").toString();
    FieldErrors errors;
    checkEmail(email, errors);
    if (errors.isEmpty() && state.accountByEmail(email))
        errors.add("email", QStringLiteral("该邮箱已被注册"));
    if (password.isEmpty())
        errors.add("password", QStringLiteral("密码不能为空"));
    else if (password.size() < 6)
        errors.add("password", QStringLiteral("密码至少6位"));
    else if (body.value("password_confirmation").toString() != password)
        errors.add("password", QStringLiteral("两次输入的密码不一致"));
    if (!errors.isEmpty())
        return errors.reply();

    Account account;
    account.email = email;
    account.password = password;
    account.name = body.value("name").toString().trimmed();
    if (account.name.isEmpty())
        account.name = email.section(u'@', 0, 0);
    account.createdAt = QDateTime::currentDateTimeUtc();
    const Account &added = state.addAccount(account);
    return signedIn(state, added, body, QStringLiteral("注册成功"), 201);
}

Reply login(BackendState &state, const RecordedRequest &request)
{
    const QJsonObject body = request.jsonBody();
    const QString email = body.value("email").toString().trimmed();
    const QString password = body.value("password").toString();
    FieldErrors errors;
    checkEmail(email, errors);
    if (password.isEmpty())
        errors.add("password", QStringLiteral("密码不能为空"));
    if (!errors.isEmpty())
        return errors.reply();

    const Account *account = state.accountByEmail(email);
    if (!account || account->password != password)
        return Replies::failure(401, QStringLiteral("邮箱或密码错误"));
    return signedIn(state, *account, body, QStringLiteral("登录成功"), 200);
}

} // namespace

void AuthRoutes::install(LocalBackendServer &server, BackendState &state)
{
    server.route("POST", "/api/v1/auth/register",
                 [&state](const RecordedRequest &request) { return registerAccount(state, request); });
    server.route("POST", "/api/v1/auth/login",
                 [&state](const RecordedRequest &request) { return login(state, request); });
    server.route("POST", "/api/v1/auth/logout",
                 AuthGuard::require(state, [&state](const RecordedRequest &request, Account &) {
                     state.revokeToken(BackendState::bearerToken(request));
                     return Replies::ok(QStringLiteral("登出成功"));
                 }));
    server.route("GET", "/api/v1/auth/me", AuthGuard::require(state, [](const RecordedRequest &, Account &account) {
                     return Replies::ok(QStringLiteral("获取成功"), account.toJson());
                 }));
}

} // namespace Norvane::LocalBackend
