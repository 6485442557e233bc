#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/model/runtime.h"
#include "platform/model/value.h"

namespace velmora::document {

using platform::Runtime;
using platform::Value;

// Operations whose names differ from the verbs that reach them ("zoom", "view").
inline constexpr char kZoomOperation[] = "acouzoom";
inline constexpr char kViewOperation[] = "acouview";

// An operation of the program under its documented name, with its declared numbers of inputs and
// outputs. Missing trailing inputs are absent (the operation then asks interactively).
struct Operation {
  using Run = std::function<std::vector<Value>(Runtime&, const std::vector<Value>& args)>;
  std::string name;
  int inputs = 0;
  int outputs = 0;
  int line = 1;  // the line number written in the argument-count message
  Run run;
};

inline Operation makeOperation(std::string name, int inputs, int outputs, Operation::Run run) {
  return Operation{std::move(name), inputs, outputs, 1, std::move(run)};
}

// The body of an operation that takes no argument and gives no result.
inline Operation::Run withoutArguments(std::function<void(Runtime&)> procedure) {
  return [procedure = std::move(procedure)](Runtime& rt, const std::vector<Value>&) -> std::vector<Value> {
    procedure(rt);
    return {};
  };
}

// The table of operations the dispatcher routes to, filled by each folder's register function. A verb
// whose operation is not registered answers "unknown argument" (the dispatcher checks); an operation
// calling another by name goes through `call`, which raises for a name not registered: a missing
// step is a fault of the program, never skipped.
class Operations {
 public:
  void add(Operation op);
  bool has(std::string_view name) const;
  const Operation* find(std::string_view name) const;
  // Raises the error of `call` for a name not registered: for an operation that needs another one
  // later, to fail before it has changed anything.
  void require(std::string_view name) const;
  // Raises "the operation "NAME" is not registered" for an unknown name, checks the argument counts
  // (raising the run-time error text), then runs the operation.
  std::vector<Value> call(Runtime& rt, std::string_view name, const std::vector<Value>& args = {},
                          int outputs = 0) const;

 private:
  std::map<std::string, Operation, std::less<>> ops_;
};

// The argument-count error: "Run-time Error: File: velmoracopy/<name> Line: <line> Column: 1 The
// function \"velmoracopy/<name>\" was called with more than the declared number of inputs (<n>)."
// For the dispatcher itself `name` is empty and the pieces read "velmoracopy" alone.
std::string argumentCountMessage(std::string_view name, int line, int declared, bool outputs);

}  // namespace velmora::document
