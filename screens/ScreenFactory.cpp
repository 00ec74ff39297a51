#include "FormAvvio.h"
#include "FormMenu.h"
#include "FormTrova.h"
#include "FormTrova2.h"
#include "Modulo1.h"

Screen *createScreen(Modulo1 &module, ScreenId id)
{
    switch (id) {
    case ScreenId::FormAvvio:
        return new FormAvvio(module);
    case ScreenId::FormMenu:
        return new FormMenu(module);
    case ScreenId::FormTrova:
        return new FormTrova(module);
    case ScreenId::FormTrova2:
        return new FormTrova2(module);
    }
    return nullptr;
}
