#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// What a child process gave back: body's bytes, or why it gave none.
struct ChildResult {
    QByteArray output;
    QString failure; // empty when the child ended by itself and body returned
};

// Runs body in a forked copy of this test and returns what it returned. The copy starts with a
// peak of memory of its own (the kernel's high-water mark starts at what it holds), is killed at
// the end of its limit (a body that hangs fails the test rather than hanging it), and, with
// unprivileged, runs as the user nobody when the test runs as root, so that permission bits hold
// for it as for any user.
ChildResult inChild(const std::function<QByteArray()> &body, int limitSeconds = 60,
                    bool unprivileged = false);

// The kernel's high-water mark of this process's memory.
qint64 peakMemory();
