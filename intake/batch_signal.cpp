#include "batch_signal.h"

BatchSignal& BatchSignal::Instance() {
    static BatchSignal instance;
    return instance;
}
