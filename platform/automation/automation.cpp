#include "platform/automation/automation.h"

#include <algorithm>
#include <cmath>
#include <istream>
#include <limits>
#include <new>
#include <ostream>

#include "platform/model/error.h"
#include "platform/model/numbers.h"

namespace velmora::platform {

namespace {

Json encodeNumber(double d) {
  if (std::isnan(d)) return "NaN";
  if (std::isinf(d)) return d > 0 ? "Inf" : "-Inf";
  // Whole numbers print without a decimal point; JSON readers see the same number.
  if (d == std::floor(d) && std::fabs(d) < 9007199254740992.0) return static_cast<std::int64_t>(d);
  return d;
}

std::optional<double> numberOf(const Json& j) {
  if (j.is_number()) return j.get<double>();
  if (j.is_boolean()) return j.get<bool>() ? 1.0 : 0.0;
  if (j.is_string()) {
    const auto& s = j.get_ref<const std::string&>();
    if (s == "NaN") return std::numeric_limits<double>::quiet_NaN();
    if (s == "Inf") return std::numeric_limits<double>::infinity();
    if (s == "-Inf") return -std::numeric_limits<double>::infinity();
  }
  return std::nullopt;
}

bool isNumberLike(const Json& j) {
  return numberOf(j).has_value();
}

Value decodeMatrix(const Json& j) {
  const Json& shape = j["shape"];
  const Json& data = j["data"];
  if (!shape.is_array() || shape.size() < 2 || shape.size() > 3) {
    throw Error("a matrix needs \"shape\" [rows, cols]");
  }
  std::vector<std::size_t> dims;
  for (const Json& d : shape) {
    if (!d.is_number_integer() || d.get<std::int64_t>() < 0) {
      throw Error("a matrix shape holds counts (whole numbers, 0 or more)");
    }
    dims.push_back(d.get<std::size_t>());
  }
  if (!data.is_array()) throw Error("a matrix needs \"data\", an array of numbers in column order");
  const std::size_t pages = dims.size() == 3 ? dims[2] : 1;
  // The element count is compared with the data given, so it must not wrap around.
  std::size_t count = 0;
  if (__builtin_mul_overflow(dims[0], dims[1], &count) || __builtin_mul_overflow(count, pages, &count)) {
    throw Error("a matrix of shape " + excerpt(shape.dump()) + " is too large");
  }
  if (data.size() != count) {
    throw Error("a matrix of shape " + excerpt(shape.dump()) + " needs " + std::to_string(count) +
                " numbers, got " + std::to_string(data.size()));
  }
  Matrix m;
  m.rows = dims[0];
  m.cols = dims[1];
  m.pages = pages;
  m.data.reserve(count);
  for (const Json& d : data) {
    auto n = numberOf(d);
    if (!n) {
      throw Error("matrix data must be numbers (or \"NaN\", \"Inf\", \"-Inf\"), got " + excerpt(d.dump()));
    }
    m.data.push_back(*n);
  }
  return Value(std::move(m));
}

std::string textField(const Json& req, const char* key) {
  auto it = req.find(key);
  if (it == req.end() || !it->is_string()) throw Error(std::string("\"") + key + "\" must be a text");
  return it->get<std::string>();
}

// A whole number small enough to name an object (handles are counts; larger ones must not wrap).
std::optional<Handle> wholeHandle(const Json& j) {
  constexpr double kLargest = 9007199254740992.0;  // 2^53
  if (j.is_number_unsigned()) {
    const auto u = j.get<std::uint64_t>();
    if (u <= static_cast<std::uint64_t>(kLargest)) return static_cast<Handle>(u);
    return std::nullopt;
  }
  if (j.is_number_integer()) return j.get<Handle>();
  if (j.is_number_float()) {
    const double d = j.get<double>();
    if (d == std::floor(d) && std::fabs(d) <= kLargest) return static_cast<Handle>(d);
  }
  return std::nullopt;
}

Handle handleOf(const Json& j, const char* key) {
  if (auto h = wholeHandle(j)) return *h;
  if (j.is_object() && j.size() == 1 && j.contains("handle") && j["handle"].is_number_integer()) {
    if (auto h = wholeHandle(j["handle"])) return *h;
  }
  throw Error(std::string("\"") + key + "\" must be a handle (a whole number or {\"handle\":n})");
}

std::pair<double, double> pointOf(const Json& req, bool required) {
  auto it = req.find("at");
  if (it == req.end()) {
    if (required) throw Error("\"at\" must be [x, y]");
    return {0.0, 0.0};
  }
  if (!it->is_array() || it->size() != 2 || !isNumberLike((*it)[0]) || !isNumberLike((*it)[1])) {
    throw Error("\"at\" must be [x, y]");
  }
  const double x = *numberOf((*it)[0]), y = *numberOf((*it)[1]);
  // A pointer is always somewhere: NaN or an infinity would become a vertex of the room.
  if (!std::isfinite(x) || !std::isfinite(y)) throw Error("\"at\" must be [x, y], two finite numbers");
  return {x, y};
}

void checkKeys(const Json& req, std::initializer_list<const char*> allowed) {
  for (auto it = req.begin(); it != req.end(); ++it) {
    bool ok = it.key() == "op";
    for (const char* a : allowed) ok = ok || it.key() == a;
    if (!ok) {
      throw Error("unknown field \"" + excerpt(it.key()) + "\" in a \"" +
                  excerpt(req["op"].get<std::string>()) + "\" request");
    }
  }
}

ScriptedAnswer answerOf(const Json& a) {
  if (!a.is_object() || a.size() != 1) {
    throw Error(
        "an answer is one of {\"input\":[...]}, {\"question\":\"...\"}, {\"file\":\"...\"}, "
        "{\"choice\":\"...\"}, {\"message\":true}");
  }
  const std::string kind = a.begin().key();
  const Json& v = a.begin().value();
  if (kind == "input") {
    if (v.is_null()) return ScriptedAnswer::inputs(std::nullopt);
    if (!v.is_array()) throw Error("an input answer is an array of texts, or null to cancel");
    std::vector<std::string> texts;
    for (const Json& t : v) {
      if (!t.is_string()) throw Error("an input answer is an array of texts, got " + excerpt(t.dump()));
      texts.push_back(t.get<std::string>());
    }
    return ScriptedAnswer::inputs(std::move(texts));
  }
  if (kind == "question") {
    if (v.is_null()) return ScriptedAnswer::button(std::nullopt);
    if (!v.is_string()) throw Error("a question answer is the text of a button, or null");
    return ScriptedAnswer::button(v.get<std::string>());
  }
  if (kind == "file") {
    if (v.is_null()) return ScriptedAnswer::chosenFile(std::nullopt);
    if (!v.is_string()) throw Error("a file answer is a path, or null to cancel");
    return ScriptedAnswer::chosenFile(v.get<std::string>());
  }
  if (kind == "choice") {
    if (v.is_null()) return ScriptedAnswer::chosenItem(std::nullopt);
    if (!v.is_string()) throw Error("a choice answer is an item of the list or a search text, or null to cancel");
    return ScriptedAnswer::chosenItem(v.get<std::string>());
  }
  if (kind == "message") return ScriptedAnswer::messageClosed();
  throw Error("unknown answer kind \"" + excerpt(kind) + "\"");
}

// What a user can choose is a number: NaN or an infinity never comes from a click.
void checkControlValue(const Matrix& value) {
  for (double d : value.data) {
    if (!std::isfinite(d)) throw Error("a control's \"value\" must be finite numbers");
  }
}

Json failure(const std::string& message) {
  return Json{{"ok", false}, {"error", message}};
}

}  // namespace

Json encodeValue(const Value& v) {
  if (v.isMatrix()) {
    const Matrix& m = v.matrix();
    if (m.rows == 1 && m.cols == 1 && m.pages == 1 && m.data.size() == 1) return encodeNumber(m.data[0]);
    Json shape = Json::array({m.rows, m.cols});
    if (m.pages != 1) shape.push_back(m.pages);
    Json data = Json::array();
    for (double d : m.data) data.push_back(encodeNumber(d));
    Json out = Json::object();
    out["shape"] = std::move(shape);
    out["data"] = std::move(data);
    return out;
  }
  if (v.isText()) return v.text();
  if (v.isList()) {
    Json out = Json::array();
    for (const Value& item : v.list().items) out.push_back(encodeValue(item));
    return out;
  }
  if (v.isRecord()) {
    const Record& r = v.record();
    Json out = Json::object();
    // Field names of a record are distinct: append without the JSON object's own (linear) lookup.
    auto& fields = out.get_ref<Json::object_t&>();
    fields.reserve(r.size());
    for (std::size_t i = 0; i < r.size(); ++i) fields.emplace_back(r.names()[i], encodeValue(r.values()[i]));
    return out;
  }
  return Json{{"handle", v.object()}};
}

namespace {

Value decodeAt(const Json& j, std::size_t depth) {
  if (j.is_null()) return Value(Matrix{});
  if (auto n = numberOf(j)) return Value(*n);
  if (j.is_string()) return Value(j.get<std::string>());
  if (depth >= kDeepestNesting) {
    throw Error("a value nested more than " + std::to_string(kDeepestNesting) + " levels deep");
  }
  if (j.is_array()) {
    if (!j.empty() && std::all_of(j.begin(), j.end(), isNumberLike)) {
      std::vector<double> row;
      row.reserve(j.size());
      for (const Json& d : j) row.push_back(*numberOf(d));
      return Value::row(std::move(row));
    }
    List list;
    list.items.reserve(j.size());
    for (const Json& item : j) list.items.push_back(decodeAt(item, depth + 1));
    return Value(std::move(list));
  }
  // Objects: a handle, a matrix, or a record.
  if (j.size() == 1 && j.contains("handle")) return Value::handle(handleOf(j, "handle"));
  if (j.size() == 2 && j.contains("shape") && j.contains("data")) return decodeMatrix(j);
  // The names of a JSON object are distinct already.
  Record r;
  for (auto it = j.begin(); it != j.end(); ++it) r.append(it.key(), decodeAt(it.value(), depth + 1));
  return Value(std::move(r));
}

}  // namespace

Value decodeValue(const Json& j) {
  return decodeAt(j, 0);
}

// ---------------------------------------------------------------------------------------------

Automation::Automation(Runtime& runtime, ScriptedUi& ui, std::istream& in, std::ostream& out)
    : rt_(runtime), ui_(ui), in_(in), out_(out) {
  // A call that waits (an object's deletion, pointer input, a pause) keeps serving requests.
  ui_.setPump([this] { return !finished_ && step(); });
}

Automation::~Automation() {
  ui_.setPump(nullptr);
}

void Automation::run() {
  while (step()) {
  }
}

bool Automation::step() {
  while (!finished_) {
    const auto line = readProtocolLine(in_);
    if (!line) {
      finished_ = true;
      break;
    }
    std::string reply;
    if (line->tooLong) {
      reply = failure(lineTooLongMessage(line->length)).dump();
    } else if (line->text.find_first_not_of(" \t\r") == std::string::npos) {
      continue;
    } else {
      reply = handle(line->text);
    }
    out_ << reply << '\n' << std::flush;
    return !finished_;
  }
  return false;
}

std::string Automation::handle(const std::string& line) {
  Json reply;
  try {
    const Json req = parseProtocolLine(line);
    if (!req.is_object() || !req.contains("op") || !req["op"].is_string()) {
      throw Error("a request is a JSON object with an \"op\" text");
    }
    reply = request(req);
  } catch (const Error& e) {
    reply = failure(e.what());
  } catch (const std::bad_alloc&) {
    reply = failure("not enough memory for this request");
  } catch (const std::exception& e) {
    reply = failure(std::string("internal error: ") + e.what());
  }
  return reply.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Json Automation::request(const Json& req) {
  using Answer = Json (Automation::*)(const Json&);
  static constexpr std::pair<std::string_view, Answer> kOps[] = {
      {"dispatch", &Automation::dispatch}, {"answer", &Automation::answer},
      {"get", &Automation::get},           {"set", &Automation::set},
      {"find", &Automation::find},         {"press", &Automation::press},
      {"motion", &Automation::pointer},    {"release", &Automation::pointer},
      {"key", &Automation::key},           {"callback", &Automation::callback},
      {"figures", &Automation::figures},   {"console", &Automation::console},
      {"dialogs", &Automation::dialogs},   {"render", &Automation::render},
      {"close", &Automation::close},       {"quit", &Automation::quit},
  };
  const std::string op = req["op"].get<std::string>();
  for (const auto& [name, answer] : kOps)
    if (name == op) return (this->*answer)(req);
  throw Error("unknown op \"" + excerpt(op) + "\"");
}

namespace {
Json done() {
  return Json{{"ok", true}};
}
}  // namespace

Handle Automation::existing(const Json& req, const char* key) const {
  if (!req.contains(key)) throw Error(std::string("\"") + key + "\" is missing");
  const Handle h = handleOf(req[key], key);
  if (h == kRoot || !rt_.graphics().exists(h))
    throw Error("no graphics object with handle " + std::to_string(h));
  return h;
}

Handle Automation::figureArg(const Json& req) const {
  const Graphics& g = rt_.graphics();
  if (req.contains("figure")) {
    const Handle h = existing(req, "figure");
    if (g.at(h).type() != ObjectType::Figure) throw Error("object " + std::to_string(h) + " is not a window");
    return h;
  }
  const Handle h = g.currentFigure();
  if (h == kNoHandle) throw Error("no window is open");
  return h;
}

Handle Automation::existingFigure(const Json& req) const {
  const Handle fig = existing(req, "handle");
  if (rt_.graphics().at(fig).type() != ObjectType::Figure)
    throw Error("object " + std::to_string(fig) + " is not a window");
  return fig;
}

Json Automation::dispatch(const Json& req) {
  checkKeys(req, {"args"});
  std::vector<Value> args;
  if (req.contains("args")) {
    if (!req["args"].is_array()) throw Error("\"args\" must be an array");
    // A text argument stays a text even when it reads "NaN" or "Inf"; records decode as values.
    for (const Json& a : req["args"])
      args.push_back(a.is_string() ? Value(a.get<std::string>()) : decodeValue(a));
  }
  try {
    rt_.dispatch(args);
  } catch (const Error& e) {
    rt_.console(e.what());
    return failure(e.what());
  }
  return done();
}

Json Automation::answer(const Json& req) {
  checkKeys(req, {"answers"});
  if (!req.contains("answers") || !req["answers"].is_array()) throw Error("\"answers\" must be an array");
  std::vector<ScriptedAnswer> answers;
  for (const Json& a : req["answers"]) answers.push_back(answerOf(a));
  for (auto& a : answers) ui_.push(std::move(a));
  return done();
}

Json Automation::get(const Json& req) {
  checkKeys(req, {"what", "figure", "handle", "prop"});
  Json ok = done();
  if (req.contains("what")) {
    if (textField(req, "what") != "udf") throw Error("\"what\" can only be \"udf\"");
    const Handle fig = req.contains("figure") ? figureArg(req) : currentMainWindow();
    const auto data = rt_.graphics().at(fig).userdata();
    if (!data) throw Error("window " + std::to_string(fig) + " has no case record");
    ok["value"] = encodeValue(data->toValue());
    return ok;
  }
  const Handle h = existing(req, "handle");
  ok["value"] = property(h, textField(req, "prop"));
  return ok;
}

Json Automation::set(const Json& req) {
  checkKeys(req, {"handle", "prop", "value"});
  const Handle h = existing(req, "handle");
  const std::string prop = textField(req, "prop");
  if (!req.contains("value")) throw Error("\"value\" is missing");
  rt_.graphics().set(h, prop, decodeValue(req["value"]));
  return done();
}

Json Automation::press(const Json& req) {
  checkKeys(req, {"handle", "figure", "at", "selectiontype", "button"});
  if (req.contains("handle")) return pressObject(req);
  if (!req.contains("figure")) throw Error("a press needs \"handle\", or \"figure\" and \"button\"");
  const Handle fig = figureArg(req);
  int button = 1;
  if (req.contains("button")) {
    if (!req["button"].is_number_integer() || req["button"].get<int>() < 1 || req["button"].get<int>() > 3) {
      throw Error("\"button\" is 1 (left), 2 (middle) or 3 (right)");
    }
    button = req["button"].get<int>();
  }
  const auto [x, y] = pointOf(req, false);
  rt_.pressFigure(fig, x, y, button);
  return done();
}

Json Automation::pressObject(const Json& req) {
  const Handle h = existing(req, "handle");
  const auto [x, y] = pointOf(req, true);
  std::string type = "normal";
  if (req.contains("selectiontype")) {
    type = lower(textField(req, "selectiontype"));
    if (type != "normal" && type != "alt" && type != "extend" && type != "open") {
      throw Error("\"selectiontype\" is \"normal\", \"alt\", \"extend\" or \"open\"");
    }
  }
  if (rt_.graphics().figureOf(h) == kNoHandle)
    throw Error("object " + std::to_string(h) + " is not in a window");
  rt_.press(h, x, y, type);
  return done();
}

Json Automation::pointer(const Json& req) {
  checkKeys(req, {"at", "figure"});
  const Handle fig = figureArg(req);
  const auto [x, y] = pointOf(req, true);
  if (req["op"] == "motion") {
    rt_.motion(fig, x, y);
  } else {
    rt_.release(fig, x, y);
  }
  return done();
}

Json Automation::key(const Json& req) {
  checkKeys(req, {"key", "figure"});
  const std::string name = textField(req, "key");
  if (name.empty()) throw Error("\"key\" must not be empty");
  rt_.key(figureArg(req), name);
  return done();
}

Json Automation::callback(const Json& req) {
  checkKeys(req, {"handle", "value"});
  const Handle h = existing(req, "handle");
  const ObjectType t = rt_.graphics().at(h).type();
  if (t != ObjectType::UiControl && t != ObjectType::UiMenu) {
    throw Error("object " + std::to_string(h) + " is a " + std::string(typeName(t)) +
                ", not a control or menu item");
  }
  std::optional<Value> value;
  if (req.contains("value")) {
    if (t != ObjectType::UiControl) throw Error("a menu item has no value");
    value = decodeValue(req["value"]);
    if (!value->isMatrix()) throw Error("a control's \"value\" is a number or a matrix");
    checkControlValue(value->matrix());
  }
  rt_.click(h, value);
  return done();
}

Json Automation::figures(const Json& req) {
  checkKeys(req, {});
  const Graphics& g = rt_.graphics();
  std::vector<Handle> figs = g.figures();
  std::sort(figs.begin(), figs.end());
  Json list = Json::array();
  for (Handle f : figs) {
    const GraphicsObject& o = g.at(f);
    list.push_back(Json{{"handle", f},
                        {"tag", o.tag()},
                        {"name", o.text("name")},
                        {"visible", o.text("visible")},
                        {"current", f == g.currentFigure()}});
  }
  Json ok = done();
  ok["figures"] = std::move(list);
  return ok;
}

Json Automation::console(const Json& req) {
  checkKeys(req, {});
  Json ok = done();
  ok["lines"] = ui_.takeConsole();
  return ok;
}

Json Automation::dialogs(const Json& req) {
  checkKeys(req, {});
  Json list = Json::array();
  for (const auto& d : ui_.takeShown())
    list.push_back({{"kind", d.kind}, {"title", d.title}, {"text", d.text}});
  Json ok = done();
  ok["dialogs"] = std::move(list);
  return ok;
}

Json Automation::render(const Json& req) {
  checkKeys(req, {"handle", "file"});
  const Handle fig = existingFigure(req);
  const std::string file = textField(req, "file");
  if (!render_) throw Error("rendering needs the window front end");
  render_(fig, file);
  return done();
}

Json Automation::close(const Json& req) {
  checkKeys(req, {"handle"});
  const Handle fig = existingFigure(req);
  if (close_) {
    close_(fig);
  } else {
    rt_.graphics().remove(fig);
  }
  return done();
}

Json Automation::quit(const Json& req) {
  checkKeys(req, {});
  finished_ = true;
  return done();
}

Json Automation::property(Handle h, const std::string& name) const {
  return encodeValue(rt_.graphics().get(h, name));
}

Json Automation::objectJson(Handle h) const {
  const GraphicsObject& o = rt_.graphics().at(h);
  Json props = Json::object();
  for (const std::string& name : o.propertyNames()) props[name] = encodeValue(o.get(name));
  return Json{{"handle", h}, {"type", std::string(typeName(o.type()))}, {"props", std::move(props)}};
}

Json Automation::find(const Json& req) {
  checkKeys(req, {"tag", "type", "label", "string", "parent"});
  const Graphics& g = rt_.graphics();
  std::optional<std::string> tag, label, string;
  std::optional<ObjectType> type;
  if (req.contains("tag")) tag = textField(req, "tag");
  if (req.contains("label")) label = textField(req, "label");
  if (req.contains("string")) string = textField(req, "string");
  if (req.contains("type")) {
    type = typeFromName(textField(req, "type"));
    if (!type) throw Error("unknown object type \"" + excerpt(req["type"].get<std::string>()) + "\"");
  }
  Handle parent = kRoot;
  if (req.contains("parent")) {
    parent = handleOf(req["parent"], "parent");
    if (!g.exists(parent)) throw Error("no graphics object with handle " + std::to_string(parent));
  }
  const auto textIs = [](const GraphicsObject& o, const char* prop, const std::string& want) {
    return o.hasProperty(prop) && o.get(prop).isText() && o.get(prop).text() == want;
  };
  const auto matches = g.findIf(parent, [&](const GraphicsObject& o) {
    if (o.type() == ObjectType::Root) return false;
    if (tag && o.tag() != *tag) return false;
    if (type && o.type() != *type) return false;
    if (label && !textIs(o, "label", *label)) return false;
    if (string && !textIs(o, "string", *string)) return false;
    return true;
  });
  Json objects = Json::array();
  for (Handle h : matches) objects.push_back(objectJson(h));
  return Json{{"ok", true}, {"objects", std::move(objects)}};
}

Handle Automation::currentMainWindow() const {
  // The current figure when it is a main window; otherwise (a polar or scan window in front) the
  // topmost main window, as every operation of the program finds it.
  const Graphics& g = rt_.graphics();
  const auto isMain = [&](Handle fig) {
    return fig != kNoHandle && g.exists(fig) && g.at(fig).type() == ObjectType::Figure &&
           !mainWindowTag_.empty() && g.at(fig).tag() == mainWindowTag_;
  };
  if (isMain(g.currentFigure())) return g.currentFigure();
  for (Handle fig : g.figures())  // stacking order: topmost first
    if (isMain(fig)) return fig;
  throw Error("no main window is current");
}

}  // namespace velmora::platform
