// Stand-in for Windows' reg: values live in the emulated state.
//   reg query <key> /v <name>
//   reg add <key> /v <name> [/t REG_SZ|REG_DWORD] [/d <data>] [/f]
#include "common/EmulatedState.h"
#include "common/RegistryStore.h"
#include "common/StandInRunner.h"

#include <QHash>
#include <QJsonObject>

using namespace Norvane::Platform::Commands;

namespace {

const QString kSz = QStringLiteral("REG_SZ");
const QString kDword = QStringLiteral("REG_DWORD");

struct Options
{
    QHash<QString, QString> values; // "/v", "/t", "/d"
    bool force = false;
};

int invalidSyntax(QTextStream &err, const QString &operation, const QString &detail)
{
    err << "ERROR: Invalid syntax. " << detail << "\nType \"REG " << operation.toUpper()
        << " /?\" for usage.\n";
    return StandInRunner::kFailed;
}

// Reads the options after the key; `allowed` lists those that take a value.
bool readOptions(const QStringList &arguments, const QStringList &allowed, bool forceAllowed,
                 Options *options, QString *error)
{
    for (int i = 2; i < arguments.size(); ++i) {
        const QString option = arguments[i].toLower();
        if (forceAllowed && option == QStringLiteral("/f") && !options->force) {
            options->force = true;
        } else if (allowed.contains(option) && !options->values.contains(option)) {
            if (i + 1 >= arguments.size()) {
                *error = QStringLiteral("The option %1 needs a value.").arg(arguments[i]);
                return false;
            }
            options->values.insert(option, arguments[++i]);
        } else {
            *error = QStringLiteral("Unexpected or repeated argument \"%1\".").arg(arguments[i]);
            return false;
        }
    }
    return true;
}

bool parseDword(const QString &text, quint32 *number)
{
    bool ok = false;
    const qulonglong value = text.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive)
        ? text.mid(2).toULongLong(&ok, 16)
        : text.toULongLong(&ok, 10);
    if (!ok || value > 0xFFFFFFFFull)
        return false;
    *number = quint32(value);
    return true;
}

QString printable(const QJsonObject &value)
{
    if (value.value(QStringLiteral("type")).toString() == kDword)
        return QStringLiteral("0x%1").arg(qint64(value.value(QStringLiteral("data")).toDouble()), 0, 16);
    return value.value(QStringLiteral("data")).toString();
}

int query(const QString &key, const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    Options options;
    QString error;
    if (!readOptions(arguments, {QStringLiteral("/v")}, false, &options, &error))
        return invalidSyntax(err, QStringLiteral("query"), error);
    if (!options.values.contains(QStringLiteral("/v")))
        return invalidSyntax(err, QStringLiteral("query"), QStringLiteral("Give the value with /v <name>."));

    EmulatedState state;
    if (!state.open(&error)) {
        err << "ERROR: " << error << "\n";
        return StandInRunner::kFailed;
    }
    QString name;
    const QJsonObject value = RegistryStore::value(state, key, options.values.value(QStringLiteral("/v")), &name);
    if (value.isEmpty()) {
        err << "ERROR: The system was unable to find the specified registry key or value.\n";
        return StandInRunner::kFailed;
    }
    out << "\n" << key << "\n    " << name << "    " << value.value(QStringLiteral("type")).toString()
        << "    " << printable(value) << "\n\n";
    return 0;
}

int add(const QString &key, const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    Options options;
    QString error;
    if (!readOptions(arguments, {QStringLiteral("/v"), QStringLiteral("/t"), QStringLiteral("/d")}, true,
                     &options, &error))
        return invalidSyntax(err, QStringLiteral("add"), error);
    if (!options.values.contains(QStringLiteral("/v")))
        return invalidSyntax(err, QStringLiteral("add"), QStringLiteral("Give the value with /v <name>."));

    const QString name = options.values.value(QStringLiteral("/v"));
    const QString type = options.values.value(QStringLiteral("/t"), kSz).toUpper();
    QJsonObject value{{QStringLiteral("type"), type}};
    if (type == kSz) {
        value.insert(QStringLiteral("data"), options.values.value(QStringLiteral("/d")));
    } else if (type == kDword) {
        quint32 number = 0;
        if (options.values.contains(QStringLiteral("/d"))
            && !parseDword(options.values.value(QStringLiteral("/d")), &number))
            return invalidSyntax(err, QStringLiteral("add"),
                                 QStringLiteral("Specify valid numeric value for '/d'."));
        value.insert(QStringLiteral("data"), qint64(number));
    } else {
        err << "ERROR: The value type " << options.values.value(QStringLiteral("/t"))
            << " is not supported; use REG_SZ or REG_DWORD.\n";
        return StandInRunner::kFailed;
    }

    EmulatedState state;
    if (!state.open(&error)) {
        err << "ERROR: " << error << "\n";
        return StandInRunner::kFailed;
    }
    if (!options.force && !RegistryStore::value(state, key, name).isEmpty()) {
        err << "ERROR: The value " << name << " exists; give /f to overwrite it.\n";
        return StandInRunner::kFailed;
    }
    RegistryStore::setValue(state, key, name, value);
    if (!state.commit(&error)) {
        err << "ERROR: " << error << "\n";
        return StandInRunner::kFailed;
    }
    out << "The operation completed successfully.\n";
    return 0;
}

int reg(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const QString operation = arguments.value(0).toLower();
    if (operation != QStringLiteral("query") && operation != QStringLiteral("add")) {
        err << "ERROR: Invalid syntax. The operation must be QUERY or ADD.\nType \"REG /?\" for usage.\n";
        return StandInRunner::kFailed;
    }
    const QString key = RegistryStore::canonicalKey(arguments.value(1));
    if (key.isEmpty()) {
        err << "ERROR: Invalid key name.\nType \"REG " << operation.toUpper() << " /?\" for usage.\n";
        return StandInRunner::kFailed;
    }
    return operation == QStringLiteral("query") ? query(key, arguments, out, err)
                                                : add(key, arguments, out, err);
}

} // namespace

int main(int argc, char *argv[])
{
    return StandInRunner::run(argc, argv, QStringLiteral("reg"), reg);
}
