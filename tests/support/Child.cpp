#include "tests/support/Child.h"

#include "core/SafeFile.h"

#include <QFile>
#include <QRegularExpression>
#include <QThreadPool>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

ChildResult inChild(const std::function<QByteArray()> &body, int limitSeconds, bool unprivileged)
{
    // Looked up before the fork: the child of a process with threads calls nothing that loads.
    const passwd *nobody = unprivileged && ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr;
    if (unprivileged && ::geteuid() == 0 && !nobody)
        return {{}, QStringLiteral("no user nobody to run as")};
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0)
        return {{}, QStringLiteral("no pipe: %1").arg(std::strerror(errno))};
    // Only the thread that forks lives on in the child: Qt's pool must hold no threads then, or
    // the child would hand its work (a large picture's conversion) to threads it does not have.
    QThreadPool::globalInstance()->waitForDone();
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipe[0]);
        ::alarm(unsigned(limitSeconds));
        if (nobody
            && (::setgroups(0, nullptr) != 0
                || ::setresgid(nobody->pw_gid, nobody->pw_gid, nobody->pw_gid) != 0
                || ::setresuid(nobody->pw_uid, nobody->pw_uid, nobody->pw_uid) != 0))
            ::_exit(3);
        QByteArray out;
        try {
            out = body();
        } catch (...) {
            ::_exit(5); // never back into the test's own loop
        }
        ::_exit(writeAll(pipe[1], out.constData(), out.size()) ? 0 : 4);
    }
    ::close(pipe[1]);
    if (pid < 0) {
        ::close(pipe[0]);
        return {{}, QStringLiteral("no fork: %1").arg(std::strerror(errno))};
    }
    ChildResult result;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipe[0], buffer, sizeof buffer)) != 0;) {
        if (n > 0)
            result.output.append(buffer, n);
        else if (errno != EINTR)
            break;
    }
    ::close(pipe[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM)
        result.failure = QStringLiteral("the child did not end within %1 s").arg(limitSeconds);
    else if (WIFSIGNALED(status))
        result.failure = QStringLiteral("the child died of signal %1").arg(WTERMSIG(status));
    else if (WEXITSTATUS(status) == 3)
        result.failure = QStringLiteral("the child could not give up root's rights");
    else if (WEXITSTATUS(status) == 5)
        result.failure = QStringLiteral("the child ended by an exception");
    else if (WEXITSTATUS(status) != 0)
        result.failure = QStringLiteral("the child ended with status %1").arg(WEXITSTATUS(status));
    return result;
}

qint64 peakMemory()
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    const auto kib = QRegularExpression("VmHWM:\\s*(\\d+)").match(status.readAll()).captured(1);
    return kib.toLongLong() << 10;
}
