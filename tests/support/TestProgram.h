#pragma once

#include "app/ScreenFactory.h"
#include "core/Modulo1.h"
#include "ui/ScreenRegistry.h"

// The module with every screen registered, as the program's entry builds it.
struct TestProgram : Modulo1 {
    explicit TestProgram(Platform &platform)
        : Modulo1(platform),
          registry(*this, [this](ScreenId id) { return createScreen(*this, id); })
    {
        readAheadSizes = exercisePictureSizes();
    }
    ScreenRegistry registry;
};
