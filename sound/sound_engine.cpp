#include "sound/sound_engine.h"

EngineLock sound_engine_lock;
SoundEngineState engine;

uint8_t* CurrentRenderBuffer() {
    return engine.render_buffers[engine.current_render_buffer & 3];
}

bool SoundTypeStarted(int32_t t) {
    return t >= 0 && t < SOUND_TYPE_COUNT &&
           engine.sound_started[t].load(std::memory_order_relaxed);
}

void ClearStartedFlags() {
    for (auto& f : engine.sound_started) f.store(0, std::memory_order_relaxed);
}
