// The Keys window (dialog 103, About > Keys...): the note keys of the layout in use, laid out as
// on the keyboard with the note each plays, and the command keys with what each does. Every
// text comes from the tables the key handler uses (song/note_entry.h, shell/key_commands.h), so
// the chart and the keys cannot drift apart.
//
// Threads: UI thread.
#pragma once

#include "platform/desktop.h"

#include <string>

class KeysWindow : public DialogEvents {
  public:
    void OnInit() override;
    void OnClose() override;
    // Redraws the note keys for the layout in use, when the window is open: the Program menu
    // may switch layouts while it shows.
    void ShowNoteKeys();
    bool IsOpen() const { return open_; }

  private:
    bool open_ = false;
};

KeysWindow& keys_window();

// The text of key cap `row`, `column` (0..3, 0..9) for a note layout: the key's label, and under
// it the note it plays.
std::string KeyCapText(int layout, int row, int column);
