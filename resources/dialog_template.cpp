// Lookup over the dialog tables and the menu.

#include "resources/dialog_template.h"

#include <initializer_list>

int VisibleHeight(const ControlTemplate& control) {
    if (control.kind == ControlKind::ComboBox && control.height > COMBO_CLOSED_HEIGHT) {
        return COMBO_CLOSED_HEIGHT;
    }
    return control.height;
}

const DialogTemplate* FindDialogTemplate(int id) {
    for (const DialogTemplate* dialog :
         {&SOUND_EDITOR_DIALOG, &ABOUT_DIALOG, &KEYS_DIALOG, &PATTERN_DIALOG, &MAIN_DIALOG}) {
        if (dialog->id == id) return dialog;
    }
    return nullptr;
}

const ControlTemplate* FindControl(const DialogTemplate& dialog, int id) {
    if (id == CONTROL_NO_ID) return nullptr;
    for (int i = 0; i < dialog.count; ++i) {
        if (dialog.controls[i].id == id) return &dialog.controls[i];
    }
    return nullptr;
}

namespace {

const MenuItem* FindInItems(const MenuItem* items, int count, int id) {
    for (int i = 0; i < count; ++i) {
        const MenuItem& item = items[i];
        if (item.kind == MenuItemKind::Command && item.id == id) return &item;
        if (item.kind == MenuItemKind::Popup) {
            if (const MenuItem* found = FindInItems(item.items, item.count, id)) return found;
        }
    }
    return nullptr;
}

} // namespace

const MenuItem* FindMenuCommand(const MenuTemplate& menu, int id) {
    return FindInItems(menu.popups, menu.count, id);
}
