#pragma once

#include "editor/Entry.h"

#include <QHash>
#include <QList>
#include <QString>

// Something about the list a teacher should know, in Italian. A blocking problem is one with which
// the folder would not work, and saving waits until it is fixed.
struct Problem {
    int row = -1; // the entry concerned, from 0; -1 for the list as a whole
    bool blocking = false;
    QString text;
    bool operator==(const Problem &) const = default;
};

// Every problem of the list, rows in order, the list's own last. unreadable holds the rows whose
// picture cannot be read, with the cause.
QList<Problem> listProblems(const QList<Entry> &entries, const ExerciseFacts &facts,
                            const QHash<int, QString> &unreadable = {});

bool blocksSaving(const QList<Problem> &problems);
