#include "files/dialog_folders.h"

#include "song/song_model.h"

#include <cstring>
#include <filesystem>

std::string last_bank_folder;
std::string last_file_folder;

void RememberFileFolder(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (!error) last_file_folder = absolute.parent_path().string();
}

std::string FolderOf(const std::string& path) {
    return std::filesystem::path(path).parent_path().string();
}

std::string SongFolder() {
    return std::strcmp(song.song_name, "Noname") == 0 ? last_file_folder : FolderOf(song.song_name);
}

std::string BankFolder() {
    return last_bank_folder.empty() ? SongFolder() : last_bank_folder;
}
