#include "document/operations.h"

#include <string>

#include "platform/model/error.h"

namespace velmora::document {

void Operations::add(Operation op) {
  std::string name = op.name;
  ops_.insert_or_assign(std::move(name), std::move(op));
}

bool Operations::has(std::string_view name) const {
  return ops_.find(name) != ops_.end();
}

const Operation* Operations::find(std::string_view name) const {
  auto it = ops_.find(name);
  return it == ops_.end() ? nullptr : &it->second;
}

void Operations::require(std::string_view name) const {
  // Every step a program calls is registered by the composition root: a missing one is a fault of the
  // program, said with the name it was called by.
  if (!has(name)) throw Error("the operation \"" + std::string(name) + "\" is not registered");
}

std::vector<Value> Operations::call(Runtime& rt, std::string_view name, const std::vector<Value>& args,
                                    int outputs) const {
  require(name);
  const Operation* op = find(name);
  // The count check comes before anything else is done.
  if (static_cast<int>(args.size()) > op->inputs)
    throw Error(argumentCountMessage(name, op->line, op->inputs, false));
  if (outputs > op->outputs) throw Error(argumentCountMessage(name, op->line, op->outputs, true));
  return op->run(rt, args);
}

std::string argumentCountMessage(std::string_view name, int line, int declared, bool outputs) {
  const std::string function = name.empty() ? std::string("velmoracopy") : "velmoracopy/" + std::string(name);
  return "Run-time Error: File: " + function + " Line: " + std::to_string(line) +
         " Column: 1 The function \"" + function + "\" was called with more than the declared number of " +
         (outputs ? "outputs" : "inputs") + " (" + std::to_string(declared) + ").";
}

}  // namespace velmora::document
