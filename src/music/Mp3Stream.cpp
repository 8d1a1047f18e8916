#include "music/Mp3Stream.h"

#include <mpg123.h>

#include <mutex>

namespace music {

namespace {
void initDecoderOnce() {
    static std::once_flag once;
    std::call_once(once, [] { mpg123_init(); });
}
}  // namespace

std::unique_ptr<Mp3Stream> Mp3Stream::open(const std::string& path, std::string* error) {
    initDecoderOnce();
    auto fail = [error](const std::string& why) -> std::unique_ptr<Mp3Stream> {
        if (error) *error = why;
        return nullptr;
    };
    int err = MPG123_OK;
    std::unique_ptr<Mp3Stream> stream(new Mp3Stream);
    stream->handle_ = mpg123_new(nullptr, &err);
    if (!stream->handle_) return fail(mpg123_plain_strerror(err));
    mpg123_handle* mh = stream->handle_;

    // Gapless decoding drops the encoder's padding, so frame 0 is the first sample of the music;
    // the output format is fixed (mpg123 resamples and duplicates mono as needed).
    mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS | MPG123_FORCE_STEREO, 0);
    mpg123_format_none(mh);
    mpg123_format(mh, sampleRate, MPG123_STEREO, MPG123_ENC_SIGNED_16);

    if (mpg123_open(mh, path.c_str()) != MPG123_OK) return fail(mpg123_strerror(mh));
    // The full index makes every later seek exact (and finds out whether this is MPEG audio).
    if (mpg123_scan(mh) != MPG123_OK) return fail(mpg123_strerror(mh));
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(mh, &rate, &channels, &encoding) != MPG123_OK) return fail(mpg123_strerror(mh));
    if (rate != sampleRate || channels != 2 || encoding != MPG123_ENC_SIGNED_16)
        return fail("the decoder cannot produce 44100 Hz 16-bit stereo from this file");
    const off_t length = mpg123_length(mh);
    if (length <= 0) return fail("no audio frames");
    stream->length_ = length;
    if (mpg123_seek(mh, 0, SEEK_SET) < 0) return fail(mpg123_strerror(mh));
    return stream;
}

Mp3Stream::~Mp3Stream() {
    if (handle_) {
        mpg123_close(handle_);
        mpg123_delete(handle_);
    }
}

std::size_t Mp3Stream::read(std::int16_t* out, std::size_t frames) {
    std::size_t written = 0;
    while (written < frames && !ended_) {
        std::size_t done = 0;
        const int result = mpg123_read(handle_, reinterpret_cast<unsigned char*>(out + 2 * written),
                                       (frames - written) * 4, &done);
        written += done / 4;
        if (result == MPG123_NEW_FORMAT || (result == MPG123_OK && done > 0)) continue;
        // Done, an error, or a read that made no progress: the stream ends here.
        if (result != MPG123_OK || done == 0) ended_ = true;
    }
    return written;
}

bool Mp3Stream::seek(std::int64_t frame) {
    if (frame < 0) return false;
    if (frame >= length_) {
        mpg123_seek(handle_, static_cast<off_t>(length_), SEEK_SET);
        ended_ = true;
        return true;
    }
    if (mpg123_seek(handle_, static_cast<off_t>(frame), SEEK_SET) < 0) return false;
    ended_ = false;
    return true;
}

}  // namespace music
