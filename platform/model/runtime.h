#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/model/callbacks.h"
#include "platform/model/graphics.h"
#include "platform/model/ui.h"
#include "platform/model/value.h"

namespace velmora::platform {

// One press of the pointer input that an operation waits for (or a key).
struct PointerInput {
  double x = 0, y = 0;  // in the data units of the figure's current axes
  int button = 1;       // 1 left, 2 middle, 3 right; 0 for a key
  std::string key;      // the key pressed, when `button` is 0
};

// Writes a window to a file for a print device option ("-djpeg90", "-dbmp", "-dhpgl", "-dpcx24b",
// "-dps2", "-dpsc2", "-dtiff", "-dbitmap"), without its controls. Installed by the front end.
class PrintService {
 public:
  virtual ~PrintService() = default;
  virtual void print(Handle figure, const std::string& device, const std::string& path) = 0;
};

class ImageReader;  // platform/files/image_reader.h

// Thread-safe mailbox from worker threads to the event thread. Workers keep a share of it, so a
// worker that finishes after its runtime is gone posts into a closed box, which drops the work.
class PostBox {
 public:
  void post(std::function<void()> work);
  // Called on the posting thread after each post (the Qt front end queues a `runPosted`).
  void setWake(std::function<void()> wake);
  std::vector<std::function<void()>> take();
  void close();

 private:
  std::mutex mutex_;
  std::vector<std::function<void()>> work_;
  std::function<void()> wake_;
  bool closed_ = false;
};

// The process-wide state around the object model: the dispatcher hook, the callback object and
// window, the one event queue (one callback at a time) and the services of the front end.
class Runtime {
 public:
  using Dispatcher = std::function<void(Runtime&, const std::vector<Value>& args)>;

  explicit Runtime(Ui& ui);
  ~Runtime();
  Runtime(const Runtime&) = delete;
  Runtime& operator=(const Runtime&) = delete;

  Graphics& graphics() { return graphics_; }
  const Graphics& graphics() const { return graphics_; }
  Ui& ui() { return *ui_; }
  void setUi(Ui& ui) { ui_ = &ui; }

  void setDispatcher(Dispatcher d) { dispatcher_ = std::move(d); }
  // Calls the dispatcher; errors propagate to the caller.
  void dispatch(const std::vector<Value>& args);

  void setPrintService(PrintService* service) { printService_ = service; }
  PrintService* printService() const { return printService_; }
  // Raises an Error when no front end can print.
  void print(Handle figure, const std::string& device, const std::string& path);

  // Decodes image files (scanned plans); installed by the front end, null when none can.
  void setImageReader(ImageReader* reader) { imageReader_ = reader; }
  ImageReader* imageReader() const { return imageReader_; }

  // Runs a callback text with `object` as the callback object (and its window as the callback
  // window). An Error ends the callback: its message goes to the console; nothing is thrown.
  void runCallback(Handle object, const std::string& text);
  Handle callbackObject() const { return callbackObject_; }
  Handle callbackFigure() const { return callbackFigure_; }

  // Front-end events. Each is queued while a callback runs and taken in arrival order afterwards.
  // A press on an object: it becomes the current object, its figure and axes current, the axes'
  // `currentpoint` and the window's `selectiontype` are set, and its own `buttondownfcn` runs.
  void press(Handle object, double x, double y, const std::string& selectionType = "normal");
  // A press in a window where no object reacts (`button` 1 left, 2 middle, 3 right).
  void pressFigure(Handle figure, double x, double y, int button);
  void motion(Handle figure, double x, double y);
  void release(Handle figure, double x, double y);
  // A key runs the window's accelerator for it (platform/model/accelerators.h), else its `keypressfcn`;
  // during a pointer-input wait it is the awaited input, and "escape" ends the wait with nothing.
  void key(Handle figure, const std::string& key);
  // A click on a control or menu item: sets `value` when given, then runs its callback.
  void click(Handle control, std::optional<Value> value = std::nullopt);
  // Queues any work as one event.
  void post(std::function<void()> event);
  // Work that other threads hand to the event thread (see PostBox). Posted work runs, one event
  // each, at the next `runPosted`: the front end's wake-up asks for it; tests call it when they choose.
  const std::shared_ptr<PostBox>& postBox() const { return postBox_; }
  // Takes what other threads posted and runs it, after any callback that is running. Event thread.
  void runPosted();

  // Waits until the object is deleted, running other events meanwhile.
  void waitfor(Handle object);
  // Waits for one click (or key) in the current figure; nothing when the wait was cancelled.
  std::optional<PointerInput> pointerInput();
  bool waitingForPointer() const { return pointerWaiting_; }

  void console(const std::string& line) { ui_->console(line); }

  // Names of selection types for buttons: 1 "normal", 2 "extend", 3 "alt".
  static std::string selectionTypeForButton(int button);

 private:
  struct Event {
    std::function<void()> run;
    bool motion = false;  // pointer motions waiting in the queue are merged into the newest one
  };
  void runEvent(Event event);
  void drain();
  void setCurrentPoint(Handle axes, double x, double y);
  void execute(const CallbackStatement& s);

  Graphics graphics_;
  Ui* ui_;
  Dispatcher dispatcher_;
  PrintService* printService_ = nullptr;
  ImageReader* imageReader_ = nullptr;
  Handle callbackObject_ = kNoHandle;
  Handle callbackFigure_ = kNoHandle;
  void enqueue(Event e);
  void takePosted();
  std::shared_ptr<PostBox> postBox_ = std::make_shared<PostBox>();
  std::deque<Event> queue_;
  int busy_ = 0;
  bool pointerWaiting_ = false;
  bool pointerCancelled_ = false;
  std::optional<PointerInput> pointerAnswer_;
};

}  // namespace velmora::platform
