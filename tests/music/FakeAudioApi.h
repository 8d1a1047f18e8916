#pragma once
// An audio library that records every call (in a log the test keeps, so it outlives the track
// that owns the library) and answers as configured.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "music/AudioApi.h"

namespace testsupport {

struct AudioCall {
    std::string op;
    std::int64_t value = 0;  // stream handle, position, volume or frequency
    std::string text;        // the path of streamCreateFile
    bool operator==(const AudioCall& o) const { return op == o.op && value == o.value && text == o.text; }
};

struct AudioLog {
    std::vector<AudioCall> calls;
    std::uint32_t version = 0x60001;
    bool initResult = true;
    music::StreamHandle streamResult = 7;

    std::vector<std::int64_t> positions() const {
        std::vector<std::int64_t> out;
        for (const AudioCall& c : calls)
            if (c.op == "position") out.push_back(c.value);
        return out;
    }
};

class FakeAudioApi : public music::AudioApi {
public:
    explicit FakeAudioApi(AudioLog& log) : log_(log) {}
    std::uint32_t version() const override {
        log_.calls.push_back({"version", 0, ""});
        return log_.version;
    }
    bool init(int frequency) override {
        log_.calls.push_back({"init", frequency, ""});
        return log_.initResult;
    }
    music::StreamHandle streamCreateFile(const std::string& path) override {
        log_.calls.push_back({"create", 0, path});
        return log_.streamResult;
    }
    bool start() override { return record("start", 0); }
    bool streamPlay(music::StreamHandle stream) override { return record("play", stream); }
    bool channelSetPosition(music::StreamHandle, std::int64_t bytes) override {
        record("position", bytes);
        return bytes >= 0;
    }
    bool setVolume(int percent) override { return record("volume", percent); }
    bool stop() override { return record("stop", 0); }
    void free() override { record("free", 0); }

    static std::unique_ptr<music::AudioApi> make(AudioLog& log) { return std::make_unique<FakeAudioApi>(log); }

private:
    bool record(const char* op, std::int64_t value) {
        log_.calls.push_back({op, value, ""});
        return true;
    }
    AudioLog& log_;
};

}  // namespace testsupport
