#pragma once
// Sound files through libsndfile: any file it reads (WAV and FLAC among them), and WAV written as
// 24-bit PCM through OutputFile (whole or not at all, never over a read-only file, streamed to a
// FIFO or "-"). Errors read "cannot read file <path>: <reason>" and "cannot write file ...".

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace velmora::platform {

struct Sound {
  int sampleRate = 0;
  int channels = 0;
  std::vector<double> samples;  // interleaved, -1..1
  std::size_t frames() const { return channels > 0 ? samples.size() / static_cast<std::size_t>(channels) : 0; }
  // The channels averaged into one.
  std::vector<double> mono() const;
};

// The longest sound read: ten minutes at 48 kHz in stereo; a longer file is refused.
inline constexpr std::size_t kMostSoundSamples = std::size_t{10} * 60 * 48000 * 2;

Sound readSound(const std::string& path);
// The same from the bytes of a file, named `name` in messages.
Sound readSoundBytes(std::span<const std::uint8_t> bytes, const std::string& name);

// One channel at `sampleRate`, values clipped to -1..1.
void writeWav(const std::string& path, std::span<const double> samples, int sampleRate);

}  // namespace velmora::platform
