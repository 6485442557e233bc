// Decoding one automation request line of about 10 MB: a record of many fields, a long row of
// numbers, and a list of texts. The cost must grow linearly with the line.

#include <string>

#include <benchmark/benchmark.h>

#include "platform/automation/automation.h"
#include "platform/automation/protocol_line.h"

namespace {

using velmora::platform::decodeValue;
using velmora::platform::parseProtocolLine;

std::string line(int kind, std::size_t bytes) {
  std::string s = R"({"op":"dispatch","args":[)";
  s += kind == 0 ? "{" : "[";
  for (std::size_t i = 0; s.size() < bytes; ++i) {
    if (i > 0) s += ',';
    if (kind == 0) {
      s += "\"field" + std::to_string(i) + "\":" + std::to_string(i);
    } else if (kind == 1) {
      s += std::to_string(static_cast<double>(i) * 0.25);
    } else {
      s += "\"text" + std::to_string(i) + "\"";
    }
  }
  s += kind == 0 ? "}]}" : "]]}";
  return s;
}

void BM_DecodeProtocolLine(benchmark::State& state) {
  const std::string text = line(static_cast<int>(state.range(0)), static_cast<std::size_t>(state.range(1)));
  for (auto _ : state) {
    const auto request = parseProtocolLine(text);
    benchmark::DoNotOptimize(decodeValue(request["args"][0]));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
  state.SetLabel(state.range(0) == 0 ? "record" : state.range(0) == 1 ? "numbers" : "texts");
}
// 1 MB and 10 MB of each kind: linear decoding takes ten times as long for the larger line.
BENCHMARK(BM_DecodeProtocolLine)
    ->ArgsProduct({{0, 1, 2}, {1 << 20, 10 << 20}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace
