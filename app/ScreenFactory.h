#pragma once

#include "core/ScreenHost.h"

#include <QList>
#include <QSize>

class Modulo1;
class Screen;

// The one place that knows every screen: builds the window of a screen by its id.
Screen *createScreen(Modulo1 &module, ScreenId id);

// The sizes of the exercises' picture boxes, which the pictures are read ahead at.
QList<QSize> exercisePictureSizes();
