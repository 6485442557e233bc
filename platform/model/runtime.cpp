#include "platform/model/runtime.h"

#include <utility>

#include "platform/model/accelerators.h"
#include "platform/model/error.h"
#include "platform/model/numbers.h"

namespace velmora::platform {

Runtime::Runtime(Ui& ui) : ui_(&ui) {}

Runtime::~Runtime() {
  postBox_->close();
}

void Runtime::dispatch(const std::vector<Value>& args) {
  if (!dispatcher_) throw Error("no dispatcher is installed");
  dispatcher_(*this, args);
}

void Runtime::print(Handle figure, const std::string& device, const std::string& path) {
  if (printService_ == nullptr) throw Error("printing is not available in this session");
  printService_->print(figure, device, path);
}

std::string Runtime::selectionTypeForButton(int button) {
  switch (button) {
    case 2:
      return "extend";
    case 3:
      return "alt";
    default:
      return "normal";
  }
}

void Runtime::runCallback(Handle object, const std::string& text) {
  if (text.empty()) return;
  const Handle savedObject = callbackObject_;
  const Handle savedFigure = callbackFigure_;
  callbackObject_ = object;
  callbackFigure_ = graphics_.exists(object) ? graphics_.figureOf(object) : kNoHandle;
  try {
    for (const CallbackStatement& s : parseCallback(text)) execute(s);
  } catch (const Error& e) {
    console(e.what());
  } catch (const std::exception& e) {
    console(std::string("internal error: ") + e.what());
  }
  callbackObject_ = savedObject;
  callbackFigure_ = savedFigure;
}

void Runtime::execute(const CallbackStatement& s) {
  const auto target = [&](CallbackTarget t) -> Handle {
    Handle h = kNoHandle;
    switch (t) {
      case CallbackTarget::Gcf:
        h = graphics_.currentFigure();
        break;
      case CallbackTarget::Gcbo:
        h = callbackObject_;
        break;
      case CallbackTarget::Gcbf:
        h = callbackFigure_;
        break;
    }
    if (h == kNoHandle || !graphics_.exists(h)) throw Error("the callback's object no longer exists");
    return h;
  };
  switch (s.kind) {
    case CallbackStatement::Kind::Dispatch: {
      std::vector<Value> args;
      for (const std::string& a : s.args) args.emplace_back(a);
      dispatch(args);
      break;
    }
    case CallbackStatement::Kind::Set:
      graphics_.set(target(s.target), s.prop, Value(s.args.at(0)));
      break;
    case CallbackStatement::Kind::Delete:
      graphics_.remove(target(s.target));
      break;
    case CallbackStatement::Kind::GuidataFromValue: {
      const Value v = graphics_.get(target(CallbackTarget::Gcbo), s.prop);
      const Handle fig = graphics_.currentFigure();
      if (fig == kNoHandle) throw Error("no window for the GUI data");
      graphics_.setGuiData(fig, v);
      break;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// The one event queue: an event that arrives while a callback runs waits until it has finished.

void Runtime::post(std::function<void()> event) {
  enqueue(Event{std::move(event), false});
}

void PostBox::post(std::function<void()> work) {
  std::lock_guard lock(mutex_);
  if (closed_) return;
  work_.push_back(std::move(work));
  if (wake_) wake_();
}

void PostBox::setWake(std::function<void()> wake) {
  std::lock_guard lock(mutex_);
  wake_ = std::move(wake);
}

std::vector<std::function<void()>> PostBox::take() {
  std::lock_guard lock(mutex_);
  return std::exchange(work_, {});
}

void PostBox::close() {
  std::lock_guard lock(mutex_);
  closed_ = true;
  work_.clear();
  wake_ = nullptr;
}

void Runtime::takePosted() {
  for (auto& run : postBox_->take()) queue_.push_back(Event{std::move(run), false});
}

void Runtime::runPosted() {
  takePosted();
  drain();
}

void Runtime::enqueue(Event e) {
  if (busy_ > 0) {
    if (e.motion && !queue_.empty() && queue_.back().motion) {
      queue_.back() = std::move(e);
    } else {
      queue_.push_back(std::move(e));
    }
    return;
  }
  runEvent(std::move(e));
  drain();
}

void Runtime::runEvent(Event event) {
  ++busy_;
  try {
    event.run();
  } catch (const Error& e) {
    console(e.what());
  } catch (const std::exception& e) {
    console(std::string("internal error: ") + e.what());
  }
  --busy_;
}

void Runtime::drain() {
  while (busy_ == 0 && !queue_.empty()) {
    Event e = std::move(queue_.front());
    queue_.pop_front();
    runEvent(std::move(e));
  }
}

void Runtime::setCurrentPoint(Handle axes, double x, double y) {
  if (axes == kNoHandle || !graphics_.exists(axes)) return;
  Matrix cp = Matrix::zeros(2, 3);
  cp(0, 0) = x;
  cp(0, 1) = y;
  cp(0, 2) = 1;
  cp(1, 0) = x;
  cp(1, 1) = y;
  cp(1, 2) = -1;
  graphics_.set(axes, "currentpoint", Value(cp));
}

void Runtime::press(Handle object, double x, double y, const std::string& selectionType) {
  post([this, object, x, y, selectionType] {
    if (!graphics_.exists(object)) return;
    const Handle fig = graphics_.figureOf(object);
    if (fig == kNoHandle) return;
    graphics_.setCurrentFigure(fig);
    graphics_.set(fig, "currentobject", Value::handle(object));
    const Handle axes = graphics_.ancestor(object, ObjectType::Axes);
    if (axes != kNoHandle) {
      graphics_.set(fig, "currentaxes", Value::handle(axes));
      setCurrentPoint(axes, x, y);
    }
    graphics_.set(fig, "selectiontype", Value(selectionType));
    if (pointerWaiting_) {
      const int button = selectionType == "alt" ? 3 : (selectionType == "extend" ? 2 : 1);
      pointerAnswer_ = PointerInput{x, y, button, ""};
      return;
    }
    runCallback(fig, graphics_.at(fig).text("windowbuttondownfcn"));
    if (graphics_.exists(object)) runCallback(object, graphics_.at(object).text("buttondownfcn"));
  });
}

void Runtime::pressFigure(Handle figure, double x, double y, int button) {
  post([this, figure, x, y, button] {
    if (!graphics_.exists(figure)) return;
    graphics_.setCurrentFigure(figure);
    graphics_.set(figure, "currentobject", Value::handle(figure));
    setCurrentPoint(graphics_.currentAxes(figure), x, y);
    graphics_.set(figure, "selectiontype", Value(selectionTypeForButton(button)));
    if (pointerWaiting_) {
      pointerAnswer_ = PointerInput{x, y, button, ""};
      return;
    }
    runCallback(figure, graphics_.at(figure).text("windowbuttondownfcn"));
  });
}

void Runtime::motion(Handle figure, double x, double y) {
  enqueue(Event{[this, figure, x, y] {
                  if (!graphics_.exists(figure)) return;
                  setCurrentPoint(graphics_.currentAxes(figure), x, y);
                  runCallback(figure, graphics_.at(figure).text("windowbuttonmotionfcn"));
                },
                true});
}

void Runtime::release(Handle figure, double x, double y) {
  post([this, figure, x, y] {
    if (!graphics_.exists(figure)) return;
    setCurrentPoint(graphics_.currentAxes(figure), x, y);
    runCallback(figure, graphics_.at(figure).text("windowbuttonupfcn"));
  });
}

void Runtime::key(Handle figure, const std::string& key) {
  post([this, figure, key] {
    if (!graphics_.exists(figure)) return;
    graphics_.setCurrentFigure(figure);
    graphics_.set(figure, "currentcharacter", Value(key));
    if (pointerWaiting_ && equalsIgnoreCase(key, "escape")) {
      pointerCancelled_ = true;  // Escape ends the wait with nothing, as a closed window does
      return;
    }
    if (pointerWaiting_) {
      PointerInput in;
      const Handle axes = graphics_.currentAxes(figure);
      if (axes != kNoHandle) {
        const Matrix& cp = graphics_.at(axes).matrix("currentpoint");
        in.x = cp(0, 0);
        in.y = cp(0, 1);
      }
      in.button = 0;
      in.key = key;
      pointerAnswer_ = in;
      return;
    }
    if (const auto accelerator = acceleratorCallback(graphics_, figure, key)) {
      runCallback(figure, *accelerator);
      return;
    }
    runCallback(figure, graphics_.at(figure).text("keypressfcn"));
  });
}

void Runtime::click(Handle control, std::optional<Value> value) {
  if (busy_ > 0 && graphics_.exists(control) && graphics_.at(control).hasProperty("busyaction") &&
      graphics_.at(control).text("busyaction") == "cancel") {
    return;  // a control that cancels its click while the window is busy
  }
  post([this, control, value] {
    if (!graphics_.exists(control)) return;
    const GraphicsObject& c = graphics_.at(control);
    if (c.hasProperty("enable") && c.text("enable") != "on") return;  // "off" and "inactive" run nothing
    if (value) graphics_.set(control, "value", *value);
    const Handle fig = graphics_.figureOf(control);
    if (fig != kNoHandle) graphics_.setCurrentFigure(fig);
    runCallback(control, graphics_.at(control).text("callback"));
  });
}

// ---------------------------------------------------------------------------------------------

void Runtime::waitfor(Handle object) {
  if (!graphics_.exists(object)) return;
  const int saved = busy_;
  busy_ = 0;  // other callbacks run while this one waits
  drain();
  ui_->waitUntil([this, object] { return !graphics_.exists(object); });
  busy_ = saved;
}

std::optional<PointerInput> Runtime::pointerInput() {
  const int saved = busy_;
  busy_ = 0;
  pointerWaiting_ = true;
  pointerAnswer_.reset();
  pointerCancelled_ = false;
  drain();
  ui_->waitUntil([this] { return pointerAnswer_.has_value() || pointerCancelled_; });
  pointerWaiting_ = false;
  pointerCancelled_ = false;
  busy_ = saved;
  std::optional<PointerInput> answer = std::move(pointerAnswer_);
  pointerAnswer_.reset();
  return answer;
}

}  // namespace velmora::platform
