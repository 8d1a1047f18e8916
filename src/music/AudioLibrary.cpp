#include "music/AudioLibrary.h"

#include <algorithm>
#include <cstring>

namespace music {

AudioLibrary::AudioLibrary(std::unique_ptr<platform::AudioDevice> device) : device_(std::move(device)) {}

AudioLibrary::~AudioLibrary() { free(); }

bool AudioLibrary::init(int frequency) {
    if (deviceOpen_ || !device_) return false;
    deviceOpen_ = device_->open(frequency, [this](std::uint8_t* out, int bytes) { mix(out, bytes); });
    return deviceOpen_;
}

StreamHandle AudioLibrary::streamCreateFile(const std::string& path) {
    std::string filePath = path;
    std::replace(filePath.begin(), filePath.end(), '\\', '/');
    // Opening scans the whole file: done before taking the lock, so the device keeps playing.
    std::unique_ptr<Mp3Stream> stream = Mp3Stream::open(filePath);
    if (!stream) return 0;
    std::lock_guard<std::mutex> lock(mutex_);
    const StreamHandle handle = nextHandle_++;
    channels_[handle].stream = std::move(stream);
    return handle;
}

bool AudioLibrary::start() {
    if (!deviceOpen_) return false;
    device_->resume();
    return true;
}

bool AudioLibrary::streamPlay(StreamHandle stream) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = channels_.find(stream);
    if (it == channels_.end()) return false;
    it->second.playing = true;
    return true;
}

bool AudioLibrary::channelSetPosition(StreamHandle stream, std::int64_t bytes) {
    if (bytes < 0) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = channels_.find(stream);
    if (it == channels_.end()) return false;
    return it->second.stream->seek(bytes / 4);
}

bool AudioLibrary::setVolume(int percent) {
    if (percent < 0 || percent > 100) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    volume_ = percent;
    return true;
}

bool AudioLibrary::stop() {
    if (!deviceOpen_) return false;
    device_->pause();
    return true;
}

void AudioLibrary::free() {
    if (deviceOpen_) {
        device_->close();  // from here on mix() is never called again
        deviceOpen_ = false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    channels_.clear();
}

void AudioLibrary::mix(std::uint8_t* out, int bytes) {
    const std::size_t frames = static_cast<std::size_t>(bytes) / 4;
    decoded_.resize(frames * 2);
    sum_.assign(frames * 2, 0);
    int volume = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        volume = volume_;
        for (auto& entry : channels_) {
            Channel& channel = entry.second;
            if (!channel.playing) continue;
            const std::size_t got = channel.stream->read(decoded_.data(), frames);
            // At its end a stream gives silence until a seek moves it back into the music.
            for (std::size_t i = 0; i < got * 2; ++i) sum_[i] += decoded_[i];
        }
    }
    std::int16_t* samples = reinterpret_cast<std::int16_t*>(out);
    for (std::size_t i = 0; i < frames * 2; ++i) {
        const std::int32_t scaled = sum_[i] * volume / 100;
        samples[i] = static_cast<std::int16_t>(std::clamp<std::int32_t>(scaled, -32768, 32767));
    }
    // A trailing partial frame, if the device ever asks for one, is silence.
    std::memset(out + frames * 4, 0, static_cast<std::size_t>(bytes) - frames * 4);
}

}  // namespace music
