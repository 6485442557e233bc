// Decoding case files: a record of many fields must decode in time linear in its size.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/files/mat5_reader.h"
#include "platform/files/matfile.h"

namespace {

using velmora::platform::Record;
using velmora::platform::Value;

// The bytes of a case file whose record has `fields` one-number fields, written by the program's own
// writer.
std::vector<std::uint8_t> manyFields(int fields) {
  Record r;
  for (int i = 0; i < fields; ++i) r.append("f" + std::to_string(i), Value(static_cast<double>(i)));
  const auto path = std::filesystem::temp_directory_path() / ("velmora-bench-" + std::to_string(::getpid()) + ".ac");
  velmora::platform::writeMatVariable(path.string(), "prop", Value(std::move(r)));
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
  std::filesystem::remove(path);
  return bytes;
}

void BM_DecodeRecordOfManyFields(benchmark::State& state) {
  const auto bytes = manyFields(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    Value v = velmora::platform::decodeMatVariable(bytes, "prop", "bench.ac");
    benchmark::DoNotOptimize(v);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_DecodeRecordOfManyFields)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
