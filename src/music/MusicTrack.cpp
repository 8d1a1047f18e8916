#include "music/MusicTrack.h"

#include "music/AudioLibrary.h"
#include "platform/FatalError.h"

namespace music {

MusicTrack::MusicTrack() : MusicTrack(std::make_unique<AudioLibrary>(), platform::systemClock()) {}

MusicTrack::MusicTrack(std::unique_ptr<AudioApi> api, platform::Clock& clock) : api_(std::move(api)), clock_(clock) {
    if (api_->version() != AudioLibrary::libraryVersion) platform::reportFatalError("Bass versin 1.6 was not loaded");
    if (!api_->init(frequency)) platform::reportFatalError("Cannot initialize device");
}

MusicTrack::~MusicTrack() { api_->free(); }

void MusicTrack::load(const std::string& path) {
    stream = api_->streamCreateFile(path);
    if (stream == 0) platform::reportFatalError("Cannot load the music");
}

void MusicTrack::play() {
    api_->start();
    api_->streamPlay(stream);
}

std::int64_t MusicTrack::positionForMs(std::int32_t ms) {
    return static_cast<std::int64_t>(ms) * 1764 / 10;
}

void MusicTrack::seek(std::int32_t ms) { api_->channelSetPosition(stream, positionForMs(ms)); }

void MusicTrack::fadeOutAndStop() {
    for (int volume = 100; volume >= 0; volume -= 5) {
        api_->setVolume(volume);
        clock_.sleep(1);
    }
    api_->stop();
}

}  // namespace music
