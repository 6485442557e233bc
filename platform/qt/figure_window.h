#pragma once

#include <map>
#include <string>

#include <QImage>
#include <QPointer>
#include <QWidget>

#include "platform/model/runtime.h"

class QMenu;

class QListWidget;

namespace velmora::platform::qt {

// One figure of the model as a fixed-size window: the figure painted by the renderer, its controls as
// real Qt widgets placed from the lower-left origin, its context menus as QMenu. Everything shown is
// read from the model; user actions go back to the model and the runtime.
class FigureWindow : public QWidget {
  Q_OBJECT

 public:
  FigureWindow(Runtime& runtime, Handle figure);
  ~FigureWindow() override;

  Handle figure() const { return figure_; }

  // Applies the figure's own properties: title, size and place, colour, pointer, visibility.
  void syncFigure();
  // Creates (or re-creates, when its style changed) and updates the widget of a control.
  void syncControl(Handle control);
  void removeControl(Handle control);
  // The drawing no longer shows the model: it is drawn again once the events of the change have run
  // (a rebuild changes thousands of objects), and only the pixels that changed are repainted: the
  // controls over the rest of the figure are not painted again.
  void requestRepaint();
  // Raises the controls so that the first child of the figure is on top.
  void restack();
  // The widget that shows a control; null when there is none.
  QWidget* controlWidget(Handle control) const;

  // The size of the figure in pixels as the model gives it.
  QSize modelSize() const;
  // A control's rectangle in widget pixels (top-left origin) from its `position` and `units`.
  QRect controlRect(Handle control) const;

  // Builds a QMenu from a context menu (or menu) object and its items.
  QMenu* buildMenu(Handle menu, QWidget* parent);
  // Opens the context menu object at a global position (modal until an item is chosen or it closes).
  void popupMenu(Handle menu, const QPoint& globalPos);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 signals:
  // The user asked to close the window (the front end deletes the figure).
  void closeRequested(Handle figure);

 private:
  bool repaintAsked_ = false;
  // Draws the figure anew, if it is shown and has not been drawn since the change, and repaints what changed.
  void redraw();
  // Draws the figure into a new picture of the window's size.
  void drawFigure();
  struct Control {
    QPointer<QWidget> widget;
    std::string style;
  };

  QWidget* createControl(Handle control, const std::string& style);
  void applyControl(Handle control, QWidget* widget, const std::string& style);
  void userClicked(Handle control, std::optional<Value> value);
  static Value selectedRows(const QListWidget* list);
  void userEdited(Handle control, Value text);
  void controlContextMenu(Handle control, const QPoint& localPos);
  // Data coordinates of a widget point in an axes (the figure's current axes when `axes` is none).
  QPointF dataPoint(Handle axes, const QPointF& pos) const;
  void pressAt(const QPointF& pos, Qt::MouseButton button, Qt::KeyboardModifiers mods, bool doubleClick);
  // Runs a front-end action, writing any error to the console instead of letting it escape into Qt.
  template <class F>
  void guarded(F&& action);

  Runtime& rt_;
  Handle figure_;
  std::map<Handle, Control> controls_;
  bool syncing_ = false;
  bool paintFailed_ = false;
  // The figure as last drawn, in device pixels: the widgets on it, a second paint of the same changes
  // and an uncovered window show it again without drawing every object anew.
  QImage drawing_;
  bool drawingValid_ = false;
};

}  // namespace velmora::platform::qt
