#include "platform/files/audio_file.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include <sndfile.h>

#include "platform/files/output_file.h"
#include "platform/model/error.h"
#include "platform/model/numbers.h"

namespace velmora::platform {

namespace {

[[noreturn]] void cannotRead(const std::string& path, const std::string& reason) {
  throw Error("cannot read file " + excerpt(path) + ": " + reason);
}

// A growing buffer that libsndfile writes into (it seeks back to finish the header).
struct MemoryFile {
  std::vector<std::uint8_t> bytes;
  sf_count_t at = 0;
};

sf_count_t memoryLength(void* user) {
  return static_cast<sf_count_t>(static_cast<MemoryFile*>(user)->bytes.size());
}
sf_count_t memorySeek(sf_count_t offset, int whence, void* user) {
  auto* m = static_cast<MemoryFile*>(user);
  const sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m->at : static_cast<sf_count_t>(m->bytes.size());
  m->at = std::max<sf_count_t>(0, base + offset);
  return m->at;
}
sf_count_t memoryRead(void* out, sf_count_t count, void* user) {
  auto* m = static_cast<MemoryFile*>(user);
  const auto size = static_cast<sf_count_t>(m->bytes.size());
  const sf_count_t n = std::clamp<sf_count_t>(size - m->at, 0, count);
  if (n > 0) std::memcpy(out, m->bytes.data() + m->at, static_cast<std::size_t>(n));
  m->at += n;
  return n;
}
sf_count_t memoryWrite(const void* in, sf_count_t count, void* user) {
  auto* m = static_cast<MemoryFile*>(user);
  const auto end = static_cast<std::size_t>(m->at + count);
  if (end > m->bytes.size()) m->bytes.resize(end);
  std::memcpy(m->bytes.data() + m->at, in, static_cast<std::size_t>(count));
  m->at += count;
  return count;
}
sf_count_t memoryTell(void* user) {
  return static_cast<MemoryFile*>(user)->at;
}

}  // namespace

std::vector<double> Sound::mono() const {
  if (channels <= 1) return samples;
  std::vector<double> out(frames());
  const auto c = static_cast<std::size_t>(channels);
  for (std::size_t i = 0; i < out.size(); ++i) {
    double sum = 0;
    for (std::size_t k = 0; k < c; ++k) sum += samples[i * c + k];
    out[i] = sum / static_cast<double>(c);
  }
  return out;
}

namespace {

// Everything of an opened file, which is closed here; refused when it holds no sound or too much.
Sound readOpened(SNDFILE* file, const SF_INFO& info, const std::string& path) {
  Sound sound;
  sound.sampleRate = info.samplerate;
  sound.channels = info.channels;
  const auto frames = static_cast<std::size_t>(std::max<sf_count_t>(info.frames, 0));
  if (info.channels <= 0 || info.samplerate <= 0 ||
      frames > kMostSoundSamples / static_cast<std::size_t>(std::max(info.channels, 1))) {
    sf_close(file);
    cannotRead(path, info.channels <= 0 || info.samplerate <= 0 ? "no channel or no sample rate"
                                                                : "longer than ten minutes");
  }
  sound.samples.resize(frames * static_cast<std::size_t>(info.channels));
  const sf_count_t got = sf_readf_double(file, sound.samples.data(), static_cast<sf_count_t>(frames));
  sf_close(file);
  sound.samples.resize(static_cast<std::size_t>(std::max<sf_count_t>(got, 0)) *
                       static_cast<std::size_t>(info.channels));
  if (sound.samples.empty()) cannotRead(path, "no sound in it");
  // A float file may hold NaN or infinities, which the convolution would spread over the whole result
  // (heard as a full-scale blast).
  if (!std::all_of(sound.samples.begin(), sound.samples.end(), [](double s) { return std::isfinite(s); }))
    cannotRead(path, "it holds samples that are not numbers (NaN or infinite)");
  return sound;
}

}  // namespace

Sound readSound(const std::string& path) {
  std::FILE* probe = std::fopen(path.c_str(), "rb");
  if (probe == nullptr) cannotRead(path, std::strerror(errno));
  std::fclose(probe);
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) cannotRead(path, std::string("not a sound file (") + sf_strerror(nullptr) + ")");
  return readOpened(file, info, path);
}

Sound readSoundBytes(std::span<const std::uint8_t> bytes, const std::string& name) {
  MemoryFile memory;
  memory.bytes.assign(bytes.begin(), bytes.end());
  SF_VIRTUAL_IO io{memoryLength, memorySeek, memoryRead, memoryWrite, memoryTell};
  SF_INFO info{};
  SNDFILE* file = sf_open_virtual(&io, SFM_READ, &info, &memory);
  if (file == nullptr) cannotRead(name, std::string("not a sound file (") + sf_strerror(nullptr) + ")");
  return readOpened(file, info, name);
}

void writeWav(const std::string& path, std::span<const double> samples, int sampleRate) {
  OutputFile out(path);
  MemoryFile memory;
  SF_VIRTUAL_IO io{memoryLength, memorySeek, memoryRead, memoryWrite, memoryTell};
  SF_INFO info{};
  info.samplerate = sampleRate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
  SNDFILE* file = sf_open_virtual(&io, SFM_WRITE, &info, &memory);
  if (file == nullptr) out.fail(sf_strerror(nullptr));
  // Clipped here rather than wrapped round by the conversion.
  sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  std::vector<double> clipped(samples.begin(), samples.end());
  for (double& s : clipped) s = std::clamp(s, -1.0, 1.0);
  const sf_count_t written = sf_write_double(file, clipped.data(), static_cast<sf_count_t>(clipped.size()));
  sf_close(file);
  if (written != static_cast<sf_count_t>(clipped.size())) out.fail("the sound could not be encoded");
  out.write(memory.bytes);
  out.commit();
}

}  // namespace velmora::platform
