#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <QObject>
#include <QPointer>

#include "platform/model/graphics.h"
#include "platform/model/runtime.h"

namespace velmora::platform::qt {

class FigureWindow;

// Shows every figure of the model as a real window and keeps the widgets in step with the model:
// objects created, properties changed, children reordered, objects deleted. Changes are gathered and
// applied together once control returns to the event loop (or on flush()).
class QtFrontEnd : public QObject, public GraphicsObserver {
  Q_OBJECT

 public:
  explicit QtFrontEnd(Runtime& runtime);
  ~QtFrontEnd() override;
  QtFrontEnd(const QtFrontEnd&) = delete;
  QtFrontEnd& operator=(const QtFrontEnd&) = delete;

  // The window of a figure; null when there is none.
  FigureWindow* window(Handle figure) const;
  // Applies the gathered changes now.
  void flush();
  // Closes a window as its user does: runs the figure's `closerequestfcn` when it has one, else
  // deletes the figure (its case is discarded without a question).
  void close(Handle figure);
  // Writes a window as it shows on screen, controls included, to an image file (type from the
  // extension). Raises an Error when the window is not shown or the file cannot be written.
  void saveWindowImage(Handle figure, const std::string& path);
  // Called once the last figure is gone.
  void setLastWindowClosed(std::function<void()> handler) { lastClosed_ = std::move(handler); }

  void objectCreated(Handle h) override;
  void propertyChanged(Handle h, std::string_view name) override;
  void childrenReordered(Handle parent) override;
  void objectDeleted(Handle h) override;

 private:
  void schedule();
  FigureWindow* windowOf(Handle h) const;
  // A drawing object changed or made: its window repaints. A rebuild sets several properties of each
  // new object in turn, so the window of the last one is remembered.
  void repaintWindowOf(Handle h);

  Runtime& rt_;
  std::map<Handle, QPointer<FigureWindow>> windows_;
  std::vector<QPointer<FigureWindow>> retired_;  // closed windows waiting for their deletion
  std::set<Handle> dirtyFigures_;
  std::set<Handle> dirtyControls_;
  std::set<Handle> restack_;
  bool scheduled_ = false;
  Handle lastDrawn_ = kNoHandle;
  QPointer<FigureWindow> lastDrawnWindow_;
  std::function<void()> lastClosed_;
};

}  // namespace velmora::platform::qt
