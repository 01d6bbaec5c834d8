// Dialog templates and the main menu as plain data, free of any toolkit: one table per dialog
// (control id, kind, rectangle in dialog units, text, style, image), from which the Qt layer
// builds the widgets. Rectangles are converted to pixels with resources/dialog_units.h.
//
// Sections: controls | dialogs | menus | lookup.
//
// Threads: the tables are constant and may be read from any thread.
#pragma once

#include <cstdint>

// ------------------------------------------------------------------------------- controls

// The ids of the dialogs, the menu, the controls and the bitmaps are in resources/resource_ids.h.

// Id of a control that no code addresses (labels, frames, decoration). Never unique, never found
// by FindControl.
constexpr int CONTROL_NO_ID = -1;

enum class ControlKind : uint8_t {
    Static,       // text label; left-aligned unless CTL_CENTRED; multi-line text keeps its '\n'
    Picture,      // static showing bitmap `image`, scaled into its rectangle
    Frame,        // static that draws only a frame (CTL_BLACK_FRAME, CTL_ETCHED or CTL_SUNKEN);
                  // code may draw into its inside (level meters, waveform display)
    GroupBox,     // labelled (or unlabelled when text is "") frame around other controls
    PushButton,   // button showing its text
    BitmapButton, // button showing a bitmap set at run time; its text is only its accessible name
    CheckBox,     // check box with its text to the right
    RadioButton,  // radio button; the radio buttons of one dialog form one exclusive group
    ComboBox,     // selector; CTL_COMBO_EDITABLE or CTL_COMBO_LIST, optionally CTL_SORTED
    ScrollBarH,   // horizontal scroll bar
    Edit,         // single-line edit field
    Grid,         // lines of text cells the code paints (Desktop::PaintGrid); in a resizable
                  // dialog it keeps its distance to every edge as the window's size changes
};

// Control style flags (ControlTemplate::style).
constexpr uint32_t CTL_CENTRED = 1u << 0;        // text centred horizontally
constexpr uint32_t CTL_SUNKEN = 1u << 1;         // sunken border
constexpr uint32_t CTL_BLACK_FRAME = 1u << 2;    // one-pixel black frame
constexpr uint32_t CTL_ETCHED = 1u << 3;         // etched frame
constexpr uint32_t CTL_COMBO_EDITABLE = 1u << 4; // combo with an edit field and a drop-down list
constexpr uint32_t CTL_COMBO_LIST = 1u << 5;     // combo with a drop-down list and no edit field
constexpr uint32_t CTL_SORTED = 1u << 6;         // combo keeps its items in sorted order
constexpr uint32_t CTL_TABSTOP = 1u << 7;        // reachable with the TAB key
constexpr uint32_t CTL_BORDER = 1u << 8;         // thin border (edit fields)

// Closed height of a combo box in dialog units. A combo's template height is the height of its
// open list, as usual for dialog templates; the box itself is this tall.
constexpr int COMBO_CLOSED_HEIGHT = 12;

// One control. The rectangle is in dialog units; `text` is the initial text (never null; ""
// for none); `image` is the bitmap resource id of a Picture, else 0.
struct ControlTemplate {
    int id;
    ControlKind kind;
    int x, y, width, height;
    const char* text;
    uint32_t style;
    int image;
};

// Height the control takes in the dialog, in dialog units: the closed height for a combo box
// (never more than its template height), the template height for any other control.
int VisibleHeight(const ControlTemplate& control);

// -------------------------------------------------------------------------------- dialogs

// Dialog style flags (DialogTemplate::style).
constexpr uint32_t DLG_CENTRED = 1u << 0;     // centred on the screen when shown
constexpr uint32_t DLG_SYSTEM_MENU = 1u << 1; // caption with system menu and close box
constexpr uint32_t DLG_MINIMISE = 1u << 2;    // minimise box in the caption
constexpr uint32_t DLG_SUNKEN_EDGE = 1u << 3; // sunken client edge
constexpr uint32_t DLG_MODAL = 1u << 4;       // run modally (else modeless)
constexpr uint32_t DLG_RESIZABLE = 1u << 5;   // the user may size it; width and height are its
                                              // size when it opens

// One dialog. The controls are listed bottom to top: a widget built later lies above the ones
// built before it, so the decoration comes first. `menu` is a menu id or 0.
struct DialogTemplate {
    int id;
    const char* caption;
    int width, height; // dialog units
    const char* fontFamily;
    int pointSize;
    uint32_t style;
    int menu;
    const ControlTemplate* controls;
    int count;
};

// The tables (resources/dialog_101.cpp .. dialog_105.cpp).
extern const DialogTemplate SOUND_EDITOR_DIALOG;
extern const DialogTemplate ABOUT_DIALOG;
extern const DialogTemplate KEYS_DIALOG;
extern const DialogTemplate PATTERN_DIALOG;
extern const DialogTemplate MAIN_DIALOG;

// ---------------------------------------------------------------------------------- menus

enum class MenuItemKind : uint8_t {
    Command,   // sends its id as a command
    Separator, // a line; id 0, text ""
    Popup,     // opens `items`; id 0
};

struct MenuItem {
    MenuItemKind kind;
    int id;
    const char* text;
    const MenuItem* items; // Popup only, else null
    int count;             // number of `items`
};

// A menu bar: its popups, left to right.
struct MenuTemplate {
    int id;
    const MenuItem* popups;
    int count;
};

// ----------------------------------------------------------------------------------- lookup

// The dialog template with resource id `id`, or null.
const DialogTemplate* FindDialogTemplate(int id);
// The control of `dialog` with id `id`, or null (also for CONTROL_NO_ID).
const ControlTemplate* FindControl(const DialogTemplate& dialog, int id);
// Menu 106, the main window's menu bar.
const MenuTemplate& MainMenu();
// The command item with id `id` anywhere in `menu`, or null.
const MenuItem* FindMenuCommand(const MenuTemplate& menu, int id);
