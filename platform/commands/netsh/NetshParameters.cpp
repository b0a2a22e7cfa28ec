#include "netsh/NetshParameters.h"

namespace Norvane::Platform::Commands {

namespace {

QString unquoted(const QString &value)
{
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')))
        return value.mid(1, value.size() - 2);
    return value;
}

QString fullTag(const QString &given, const QStringList &tags)
{
    QString found;
    for (const QString &tag : tags) {
        if (tag.compare(given, Qt::CaseInsensitive) == 0)
            return tag;
        if (tag.startsWith(given, Qt::CaseInsensitive)) {
            if (!found.isEmpty())
                return {};
            found = tag;
        }
    }
    return found;
}

} // namespace

bool NetshParameters::parse(const QStringList &arguments, const QStringList &tags,
                            QHash<QString, QString> *values, QString *error)
{
    values->clear();
    for (const QString &argument : arguments) {
        QString tag;
        QString value;
        const int equals = argument.indexOf(QLatin1Char('='));
        if (equals > 0 && !argument.startsWith(QLatin1Char('"'))) {
            tag = fullTag(argument.left(equals), tags);
            if (tag.isEmpty()) {
                *error = QStringLiteral("the parameter \"%1\" is not known here").arg(argument.left(equals));
                return false;
            }
            value = argument.mid(equals + 1);
        } else {
            for (const QString &candidate : tags) {
                if (!values->contains(candidate)) {
                    tag = candidate;
                    break;
                }
            }
            if (tag.isEmpty()) {
                *error = QStringLiteral("the value \"%1\" is one too many").arg(argument);
                return false;
            }
            value = argument;
        }
        if (values->contains(tag)) {
            *error = QStringLiteral("the parameter \"%1\" is given twice").arg(tag);
            return false;
        }
        values->insert(tag, unquoted(value));
    }
    return true;
}

} // namespace Norvane::Platform::Commands
