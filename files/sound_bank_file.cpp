#include "files/sound_bank_file.h"

#include "files/dialog_folders.h"
#include "files/file_io.h"
#include "platform/desktop.h"
#include "sound/instrument_bank.h"
#include "sound/sound_engine.h"

#include <mutex>

namespace {
constexpr char BANK_DIALOG_FILTER[] = ".FMS Sound bank (*.FMS)";
constexpr char BANK_DIALOG_PATTERN[] = "*.fms";
} // namespace

SongFileResult WriteSoundBankFile(const std::string& path) {
    uint8_t bytes[SOUND_BANK_SIZE];
    {
        const EngineLockGuard lock(sound_engine_lock);
        for (int k = 0; k < INSTRUMENT_COUNT; ++k)
            EncodeInstrument(SoundBank[k], bytes + INSTRUMENT_RECORD_SIZE * k);
    }
    const WriteResult written = WriteFileSafely(
        path, [&](std::FILE* f) { return std::fwrite(bytes, 1, sizeof bytes, f) == sizeof bytes; });
    if (written == WriteResult::NotRegularFile) return SongFileResult::NotRegularFile;
    return written == WriteResult::Done ? SongFileResult::Done : SongFileResult::WriteFailed;
}

SongFileResult ReadSoundBankFile(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!ReadFilePrefix(path, SOUND_BANK_SIZE + 1, bytes)) return SongFileResult::CannotOpen;
    return ReadSoundBankBytes(bytes);
}

SongFileResult ReadSoundBankBytes(const std::vector<uint8_t>& bytes) {
    if (bytes.size() != SOUND_BANK_SIZE) return SongFileResult::Damaged;
    Instrument bank[INSTRUMENT_COUNT];
    for (int k = 0; k < INSTRUMENT_COUNT; ++k)
        DecodeInstrument(bytes.data() + INSTRUMENT_RECORD_SIZE * k, bank[k]);
    const EngineLockGuard lock(sound_engine_lock);
    for (int k = 0; k < INSTRUMENT_COUNT; ++k) SoundBank[k] = bank[k];
    return SongFileResult::Done;
}

SongFileResult SaveSoundBank() {
    const std::string path = desktop().SaveFileDialog("FM Samples Saver", BANK_DIALOG_FILTER,
                                                      BANK_DIALOG_PATTERN, BankFolder());
    if (path.empty()) return SongFileResult::Cancelled;
    const SongFileResult result = WriteSoundBankFile(path);
    if (result == SongFileResult::Done) {
        last_bank_folder = FolderOf(path);
        RememberFileFolder(path);
    }
    return result;
}

SongFileResult LoadSoundBank() {
    const std::string path = desktop().OpenFileDialog("FM Samples Loader", BANK_DIALOG_FILTER,
                                                      BANK_DIALOG_PATTERN, BankFolder());
    if (path.empty()) return SongFileResult::Cancelled;
    const SongFileResult result = ReadSoundBankFile(path);
    if (result == SongFileResult::Done) {
        last_bank_folder = FolderOf(path);
        RememberFileFolder(path);
    }
    return result;
}
