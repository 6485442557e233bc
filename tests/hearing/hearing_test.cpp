// The impulse response's parts on their own: the filter bank, the tail's decay per band, the seed,
// the convolution and resampling, and sound files written and read back.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>

#include "support/band_analysis.h"
#include "hearing/convolution.h"
#include "hearing/decay.h"
#include "hearing/impulse_response.h"
#include "platform/files/audio_file.h"
#include "platform/model/error.h"

namespace velmora::hearing {
namespace {

TEST(FilterBank, WeightsSumToOneAndEachBandIsAloneAroundItsCentre) {
  for (double hz = 1; hz < 24000; hz *= 1.01) {
    double sum = 0;
    for (std::size_t b = 0; b < engine::kBandCount; ++b) {
      const double w = bandWeight(b, hz);
      EXPECT_GE(w, 0);
      sum += w;
    }
    EXPECT_NEAR(sum, 1, 1e-12) << hz;
  }
  for (std::size_t b = 0; b < engine::kBandCount; ++b) {
    for (double octave : {-0.25, 0.0, 0.25})
      EXPECT_DOUBLE_EQ(bandWeight(b, engine::kBandCentresHz[b] * std::exp2(octave)), 1) << b;
    EXPECT_DOUBLE_EQ(bandWeight(b, engine::kBandCentresHz[b] * 2), b + 1 == engine::kBandCount ? 1 : 0);
  }
}

// A direct sound, then a reflection every 4 ms falling as each band's reverberation time has it, in
// a room whose reverberation times differ from band to band.
ResponseInputs someRoom() {
  ResponseInputs in;
  in.directSeconds = 0.01;
  in.reverberationSeconds = {1.4, 1.2, 1.0, 0.9, 0.7, 0.5};
  in.volume = 400;
  in.arrivals.push_back({true, 0, 0.01, {0.1, 0.1, 0.1, 0.1, 0.1, 0.1}});  // beyond the critical distance
  for (int k = 1; k <= 12; ++k) {
    BandArrival a;
    a.order = k < 7 ? 1 : 2;
    a.seconds = 0.01 + 0.004 * k;
    for (std::size_t b = 0; b < engine::kBandCount; ++b)
      a.energy[b] = 0.05 * std::exp(-kSixtyDecibels * (a.seconds - 0.01) / in.reverberationSeconds[b]);
    in.arrivals.push_back(a);
  }
  return in;
}

TEST(ImpulseResponse, EachBandDecaysInItsOwnReverberationTime) {
  ResponseInputs in = someRoom();
  const ImpulseResponse ir = impulseResponse(in);
  // The first arrival of the highest order (the seventh, at 28 ms), past sqrt(400) = 20 ms.
  EXPECT_NEAR(ir.transitionSeconds, 0.01 + 0.028, 1e-12);
  EXPECT_EQ(ir.samples.size(), static_cast<std::size_t>(std::ceil((0.038 + 1.5 * 1.4) * kSampleRate)) + 1);
  ResponseInputs firstOrder = in;
  for (BandArrival& a : firstOrder.arrivals) a.order = a.direct ? 0 : 1;
  EXPECT_NEAR(transitionAfterDirect(firstOrder), 0.020, 1e-12);  // one order: the mixing time
  // One noise read in half an octave at 250 Hz gives its decay within about 10 %, as a measured
  // response does: each band's energy is averaged over 24 seeds, which leaves the decay itself.
  constexpr int kSeeds = 24;
  std::vector<std::vector<double>> energy(engine::kBandCount, std::vector<double>(ir.samples.size(), 0.0));
  for (in.seed = 1; in.seed <= kSeeds; ++in.seed) {
    const std::vector<double> samples = impulseResponse(in).samples;
    for (std::size_t b = 0; b < engine::kBandCount; ++b) {
      const std::vector<double> band = test_support::bandOf(samples, b, kSampleRate);
      for (std::size_t i = 0; i < band.size(); ++i) energy[b][i] += band[i] * band[i] / kSeeds;
    }
  }
  for (std::size_t b = 0; b < engine::kBandCount; ++b) {
    for (double& e : energy[b]) e = std::sqrt(e);
    const DecayFigures f = decayFigures(energy[b], kSampleRate);
    ASSERT_TRUE(f.t20 && f.t30) << b;
    EXPECT_NEAR(*f.t20 / in.reverberationSeconds[b], 1, 0.05) << "band " << b;
    EXPECT_NEAR(*f.t30 / in.reverberationSeconds[b], 1, 0.05) << "band " << b;
  }
}

TEST(ImpulseResponse, SeededAndSilentWithoutReflections) {
  const ResponseInputs in = someRoom();
  EXPECT_EQ(impulseResponse(in).samples, impulseResponse(in).samples);
  ResponseInputs other = in;
  other.seed = 2;
  EXPECT_NE(impulseResponse(other).samples, impulseResponse(in).samples);

  // The direct sound alone: one sample, no tail, figures from it alone.
  ResponseInputs direct = in;
  direct.arrivals.resize(1);
  const ImpulseResponse ir = impulseResponse(direct);
  double energy = 0;
  for (double s : ir.samples) energy += s * s;
  EXPECT_NEAR(energy, 0.1, 1e-12);
  EXPECT_EQ(ir.tailPower, engine::BandValues{});
  const DecayFigures f = decayFigures(ir.samples, kSampleRate);
  EXPECT_EQ(f.onset, 480u);
  EXPECT_DOUBLE_EQ(*f.d50, 100);
  EXPECT_TRUE(std::isinf(*f.c80));
  EXPECT_FALSE(f.t30);

  // Nothing at all, and a room that does not absorb: a silent response, and one cut at the longest.
  EXPECT_FALSE(decayFigures(std::vector<double>(100, 0.0), kSampleRate).d50);
  ResponseInputs hard = in;
  hard.reverberationSeconds.fill(INFINITY);
  EXPECT_EQ(impulseResponse(hard).samples.size(), static_cast<std::size_t>(kLongestSeconds * kSampleRate) + 1);
  EXPECT_EQ(impulseResponse(hard).depthDb, 0);
}

// A response cut at the longest length before its tail has decayed drops to nothing at the cut, which
// bends the backward-integrated decay: with 86 s of reverberation the lines read T30 = 26 s. A figure
// is read only where the tail goes on 10 dB below its range; at full length (90 dB) all three are.
TEST(ImpulseResponse, FiguresOfAResponseCutShortOfItsDecayAreNone) {
  struct Row {
    double seconds;  // every band
    bool edt, t20, t30;
  };
  for (const Row& row : {Row{1.4, true, true, true}, Row{17, true, true, false}, Row{30, true, false, false},
                         Row{86, false, false, false}}) {
    SCOPED_TRACE(row.seconds);
    ResponseInputs in = someRoom();
    in.reverberationSeconds.fill(row.seconds);
    const ImpulseResponse ir = impulseResponse(in);
    const double tail = static_cast<double>(ir.samples.size() - 1) / kSampleRate - ir.transitionSeconds;
    EXPECT_NEAR(ir.depthDb, std::min(90.0, 60 * tail / row.seconds), 1e-9);
    const DecayFigures f = decayFigures(ir.samples, kSampleRate, 0.001, ir.depthDb);
    EXPECT_EQ(f.edt.has_value(), row.edt);
    EXPECT_EQ(f.t20.has_value(), row.t20);
    EXPECT_EQ(f.t30.has_value(), row.t30);
    if (f.t20) {
      EXPECT_NEAR(*f.t20 / row.seconds, 1, 0.1);
    }
    if (f.t30) {
      EXPECT_NEAR(*f.t30 / row.seconds, 1, 0.1);
    }
  }
}

TEST(Convolution, MatchesTheDirectSumAndKeepsAToneThroughResampling) {
  const std::vector<double> a = {1, -2, 0.5, 3}, b = {0.25, 1, -1};
  const std::vector<double> c = convolve(a, b);
  ASSERT_EQ(c.size(), 6u);
  for (std::size_t n = 0; n < c.size(); ++n) {
    double sum = 0;
    for (std::size_t k = 0; k < a.size(); ++k)
      if (n >= k && n - k < b.size()) sum += a[k] * b[n - k];
    EXPECT_NEAR(c[n], sum, 1e-12) << n;
  }
  EXPECT_TRUE(convolve({}, b).empty());
  // In blocks (as a dry sound longer than 87 s is taken): the same samples, blocks shorter or longer
  // than the response, and a last block cut short.
  {
    std::vector<double> dry(10007), response(3001);
    for (std::size_t i = 0; i < dry.size(); ++i) dry[i] = std::sin(0.37 * static_cast<double>(i)) * (i % 7 == 0 ? 1 : 0.3);
    for (std::size_t i = 0; i < response.size(); ++i) response[i] = std::exp(-0.002 * static_cast<double>(i)) * std::cos(0.1 * static_cast<double>(i));
    const std::vector<double> whole = convolve(dry, response);
    for (std::size_t block : {std::size_t{1000}, std::size_t{4096}, std::size_t{20000}}) {
      const std::vector<double> parts = convolveInBlocks(dry, response, block);
      ASSERT_EQ(parts.size(), whole.size()) << block;
      double worst = 0;
      for (std::size_t i = 0; i < whole.size(); ++i) worst = std::max(worst, std::abs(parts[i] - whole[i]));
      EXPECT_LT(worst, 1e-9) << block;
    }
  }

  // One second of 1 kHz at 44.1 kHz: at 48 kHz, the same second, amplitude and period.
  std::vector<double> tone(44100);
  for (std::size_t i = 0; i < tone.size(); ++i) tone[i] = 0.5 * std::sin(2 * std::numbers::pi * 1000 * i / 44100.0);
  const std::vector<double> up = resample(tone, 44100, 48000);
  ASSERT_EQ(up.size(), 48000u);
  for (std::size_t i = 2000; i < 46000; i += 997)
    EXPECT_NEAR(up[i], 0.5 * std::sin(2 * std::numbers::pi * 1000 * i / 48000.0), 2e-3) << i;
  const std::vector<double> loud = normalised({0.1, -0.4, 0.2}, 0.8);
  EXPECT_DOUBLE_EQ(loud[1], -0.8);
  EXPECT_DOUBLE_EQ(loud[0], 0.2);
}

TEST(SoundFiles, WrittenAndReadBackAndRefusedWithTheirReason) {
  const std::string path = (std::filesystem::current_path() / "tone.wav").string();
  std::vector<double> tone(4800);
  for (std::size_t i = 0; i < tone.size(); ++i) tone[i] = 0.9 * std::sin(2 * std::numbers::pi * 440 * i / 48000.0);
  tone[10] = 7;  // clipped, not wrapped round
  platform::writeWav(path, tone, 48000);
  const platform::Sound back = platform::readSound(path);
  EXPECT_EQ(back.sampleRate, 48000);
  EXPECT_EQ(back.channels, 1);
  ASSERT_EQ(back.samples.size(), tone.size());
  EXPECT_NEAR(back.samples[10], 1, 1e-6);
  for (std::size_t i = 100; i < tone.size(); i += 101) EXPECT_NEAR(back.samples[i], tone[i], 1e-6);

  EXPECT_THROW(
      {
        try {
          platform::readSound("missing.wav");
        } catch (const Error& e) {
          EXPECT_STREQ(e.what(), "cannot read file missing.wav: No such file or directory");
          throw;
        }
      },
      Error);
  std::FILE* text = std::fopen("notes.wav", "w");
  std::fputs("not a sound", text);
  std::fclose(text);
  try {
    platform::readSound("notes.wav");
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()).rfind("cannot read file notes.wav: not a sound file (", 0), 0u) << e.what();
  }
  // A 32-bit float WAV holding NaN and an infinity among its four samples: refused, not heard.
  {
    const float samples[4] = {std::nanf(""), 0.5f, INFINITY, -0.5f};
    std::string bytes;
    const auto little = [&bytes](std::uint32_t v, int n) {
      for (int k = 0; k < n; ++k) bytes.push_back(static_cast<char>((v >> (8 * k)) & 0xff));
    };
    bytes += "RIFF";
    little(4 + 8 + 16 + 8 + sizeof samples, 4);
    bytes += "WAVEfmt ";
    little(16, 4);
    little(3, 2);  // IEEE float
    little(1, 2);  // one channel
    little(48000, 4);
    little(48000 * 4, 4);
    little(4, 2);
    little(32, 2);
    bytes += "data";
    little(sizeof samples, 4);
    bytes.append(reinterpret_cast<const char*>(samples), sizeof samples);
    std::ofstream("nan.wav", std::ios::binary) << bytes;
  }
  try {
    platform::readSound("nan.wav");
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "cannot read file nan.wav: it holds samples that are not numbers (NaN or infinite)");
  }
  std::filesystem::permissions(path, std::filesystem::perms::owner_read);
  EXPECT_THROW(platform::writeWav(path, tone, 48000), Error);
}

}  // namespace
}  // namespace velmora::hearing
