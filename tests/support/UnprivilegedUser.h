#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Faults of permissions hide from root. A suite that runs as root starts the program as a user
// who is not root (setpriv to a uid and gid of its own, no groups), with a home and a data
// folder of that user's and a temporary folder shared by all users, as /tmp is.
class UnprivilegedUser
{
public:
    static constexpr uint kUid = 65534;
    // Another user of the machine, whose files lie in the shared temporary folder.
    static constexpr uint kOtherUid = 65533;

    // Why the suite cannot run programs as another user (it is not root), or empty.
    static QString unavailableReason();
    // Gives `path`, and all under it, to `uid`.
    static bool give(const QString &path, uint uid);

    // Where the users of the suite run `program` of the build from (see start).
    static QStringList copiesOf(const QString &program);

    explicit UnprivilegedUser(uint uid = kUid);
    ~UnprivilegedUser();

    bool isValid() const;
    uint uid() const { return m_uid; }
    QString home() const;
    QString dataHome() const;
    // Mode 1777, like /tmp.
    QString sharedTemp() const;

    // Starts `program` as the user, tied to this process like every child of the suites (the
    // change of user clears the parent-death signal, so setpriv arms it again). The build's
    // folder may be one the user cannot enter (a clone under /root): a program of the build
    // runs from a folder of the user's, with what the program finds beside it.
    void start(QProcess &process, const QString &program, const QStringList &arguments) const;

private:
    QString reachable(const QString &program) const;

    uint m_uid;
    QTemporaryDir m_root;
    bool m_valid = false;
};
