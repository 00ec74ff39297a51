#pragma once

#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>

// How a picture is fitted to the exercises' boxes, which stretch it to their own shape.
struct Crop {
    bool enabled = false;  // false: the whole picture, stretched as the child will see it
    double position = 0.5; // along the side that is cut: 0 keeps the start, 1 the end
    bool operator==(const Crop &) const = default;
};

// A word's voice: a file the folder holds (saved again as it is), or one the editor made ready
// from a take recorded, imported or synthesized (the bytes of voce/N.ogg).
struct VoiceSource {
    QString file;        // a voice of the folder; empty when there is none or it was made
    QByteArray ogg;      // made ready: Ogg Opus
    QStringList ignored; // the folder's other files for the word, never heard; a save drops them
    bool isEmpty() const { return file.isEmpty() && ogg.isEmpty(); }
    bool operator==(const VoiceSource &) const = default;
};

// One row of the list: a word and its picture, either a file of the teacher's (only ever read)
// or a picture the folder already holds, and its voice.
struct Entry {
    QString word;
    QString picture; // absolute path; empty when the word has no picture yet
    Crop crop;
    VoiceSource voice;
    bool operator==(const Entry &) const = default;
};

// What the editor must know of the exercise program, passed in by main(): the editor uses none of
// its screens.
struct ExerciseFacts {
    QSize pictureShape{121, 129}; // the boxes' shape, width by height
    int wordLabelWidth = 0;       // the word label of the word-to-picture exercise, in pixels
    std::function<int(const QString &)> wordWidth; // a word's width in that label's font
};

// The part of a picture of size `size` that is kept: all of it, or the largest rectangle of the
// boxes' shape at the crop's position.
QRect keptRect(QSize size, const Crop &crop, QSize shape);
