#include "sound/sound_engine.h"

EngineLock sound_engine_lock;
SoundEngineState engine;

uint8_t* CurrentRenderBuffer() {
    return engine.render_buffers[engine.current_render_buffer & 3];
}
