// The folders the file dialogs open in, as desktop programs do: the song dialogs and the WAV
// export in the folder of the song file last saved or loaded, the bank dialogs in the folder of
// the bank file last saved or loaded, else in the song's; a song without a file opens them
// where a file dialog was last used, in this run or an earlier one. "" stands for the working
// folder.
//
// Threads: UI thread.
#pragma once

#include <string>

// The folder of the bank file last saved or loaded; "" until there is one.
extern std::string last_bank_folder;

// The folder of the last song or bank file saved or loaded through a dialog, as an absolute
// path; "" until there is one. Kept in the preferences.
extern std::string last_file_folder;
// Makes the folder of `path` the last one used.
void RememberFileFolder(const std::string& path);

// The folder part of a path: "" for a bare file name.
std::string FolderOf(const std::string& path);
// The folder of `song_name`; `last_file_folder` while the song has no file ("Noname").
std::string SongFolder();
// `last_bank_folder`, else SongFolder().
std::string BankFolder();
