#include "common/FaultInjection.h"

#include <QList>
#include <QRegularExpression>

namespace Norvane::Platform::Commands {

namespace {

const QString kAnyArgument = QStringLiteral("*");

struct Rule
{
    QStringList words;
    int exitCode = 1;
    QString text;
};

bool matches(const QStringList &words, const QString &program, const QStringList &arguments)
{
    if (words.first().compare(program, Qt::CaseInsensitive) != 0 || words.size() - 1 > arguments.size())
        return false;
    for (int i = 1; i < words.size(); ++i) {
        if (words[i] != kAnyArgument && words[i].compare(arguments[i - 1], Qt::CaseInsensitive) != 0)
            return false;
    }
    return true;
}

QStringList wordsOf(const QString &match)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    return match.split(blanks, Qt::SkipEmptyParts);
}

// Every rule is read, not only those before a match, so a malformed variable never goes unseen.
bool readRules(const char *variable, bool withOutcome, QList<Rule> *rules, QString *error)
{
    const QString name = QString::fromLatin1(variable);
    const QStringList texts = qEnvironmentVariable(variable).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString &text : texts) {
        const QStringList fields = text.split(QLatin1Char('|'));
        Rule rule;
        rule.words = wordsOf(fields[0]);
        if (rule.words.isEmpty() && fields.size() == 1)
            continue;
        if (rule.words.isEmpty()) {
            *error = QStringLiteral("%1: the rule \"%2\" names no program").arg(name, text);
            return false;
        }
        if (fields.size() > (withOutcome ? 3 : 1)) {
            *error = QStringLiteral("%1: too many \"|\" in the rule \"%2\"").arg(name, text);
            return false;
        }
        if (fields.size() > 1) {
            bool ok = false;
            rule.exitCode = fields[1].trimmed().toInt(&ok);
            if (!ok || rule.exitCode < 1 || rule.exitCode > 255) {
                *error = QStringLiteral("%1: the exit code in \"%2\" is not 1 to 255").arg(name, text);
                return false;
            }
        }
        rule.text = fields.size() > 2
            ? fields[2]
            : QStringLiteral("ERROR: Injected failure (%1).").arg(rule.words.join(QLatin1Char(' ')));
        rules->append(rule);
    }
    return true;
}

} // namespace

bool FaultInjection::decide(const QString &program, const QStringList &arguments, Decision *decision,
                            QString *error)
{
    *decision = Decision();
    QList<Rule> hangs;
    QList<Rule> failures;
    if (!readRules("NORVANE_PLATFORM_HANG", false, &hangs, error)
        || !readRules("NORVANE_PLATFORM_FAIL", true, &failures, error))
        return false;

    for (const Rule &rule : hangs) {
        if (matches(rule.words, program, arguments)) {
            decision->kind = Kind::Hang;
            return true;
        }
    }
    for (const Rule &rule : failures) {
        if (matches(rule.words, program, arguments)) {
            decision->kind = Kind::Fail;
            decision->exitCode = rule.exitCode;
            decision->text = rule.text;
            return true;
        }
    }
    return true;
}

} // namespace Norvane::Platform::Commands
