#include "event_sound.h"

#include <canberra.h>
#include <chrono>
#include <optional>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kQuietAfterFailure = std::chrono::seconds(30);

class EventSounds {
public:
    EventSounds() = default;
    EventSounds(const EventSounds&) = delete;
    EventSounds& operator=(const EventSounds&) = delete;
    // Stops what is still playing.
    ~EventSounds() {
        if (context_ != nullptr)
            ca_context_destroy(context_);
    }

    bool Play(const char* eventId, const char* description) {
        const Clock::time_point now = Clock::now();
        if (failedAt_ && now - *failedAt_ < kQuietAfterFailure)
            return false;
        if ((context_ == nullptr && !Create()) ||
            ca_context_play(context_, 0, CA_PROP_EVENT_ID, eventId, CA_PROP_EVENT_DESCRIPTION,
                            description, nullptr) != CA_SUCCESS) {
            failedAt_ = now;
            return false;
        }
        failedAt_.reset();
        return true;
    }

private:
    bool Create() {
        if (ca_context_create(&context_) != CA_SUCCESS) {
            context_ = nullptr;
            return false;
        }
        ca_context_change_props(context_, CA_PROP_APPLICATION_NAME, "GPS_Quillmar",
                                CA_PROP_APPLICATION_ID, "io.github.quillmar.GPS_Quillmar",
                                CA_PROP_APPLICATION_ICON_NAME, "gps-quillmar", nullptr);
        return true;
    }

    ca_context* context_ = nullptr;
    std::optional<Clock::time_point> failedAt_;
};

} // namespace

bool PlayEventSound(const char* eventId, const char* description) {
    static EventSounds sounds;
    return sounds.Play(eventId, description);
}
