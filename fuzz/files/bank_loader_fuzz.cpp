// Arbitrary bytes as a sound bank file: refused unless exactly 1,408 bytes, and every name the
// loader takes ends within its 32 bytes.
#include "files/sound_bank_file.h"
#include "sound/instrument_bank.h"

#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    const SongFileResult result = ReadSoundBankBytes(bytes);
    if ((result == SongFileResult::Done) != (size == SOUND_BANK_SIZE)) std::abort();
    for (const Instrument& r : SoundBank)
        if (!std::memchr(r.name, '\0', sizeof r.name)) std::abort();
    return 0;
}
