#include "engine/run/EngineState.h"

engine_state_t& EngineState() {
    static engine_state_t state;
    return state;
}
