#include "platform/qt/qt_front_end.h"

#include <algorithm>

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>
#include <QPixmap>
#include <QTimer>
#include <utility>

#include "platform/model/error.h"
#include "platform/files/output_file.h"
#include "platform/qt/figure_window.h"

namespace velmora::platform::qt {

QtFrontEnd::QtFrontEnd(Runtime& runtime) : rt_(runtime) {
  Graphics& g = rt_.graphics();
  g.addObserver(this);
  // Work finished on other threads runs in this event loop, one callback at a time like the rest.
  rt_.postBox()->setWake([this] {
    QMetaObject::invokeMethod(this, [this] { rt_.runPosted(); }, Qt::QueuedConnection);
  });
  // Figures made before the front end came show as well.
  for (Handle fig : g.figures()) {
    objectCreated(fig);
    for (Handle c :
         g.findIf(fig, [](const GraphicsObject& o) { return o.type() == ObjectType::UiControl; })) {
      dirtyControls_.insert(c);
    }
  }
}

QtFrontEnd::~QtFrontEnd() {
  rt_.postBox()->setWake(nullptr);
  rt_.graphics().removeObserver(this);
  for (auto& [h, w] : windows_) delete w.data();
  for (auto& w : retired_) delete w.data();
}

FigureWindow* QtFrontEnd::window(Handle figure) const {
  auto it = windows_.find(figure);
  return it == windows_.end() ? nullptr : it->second.data();
}

FigureWindow* QtFrontEnd::windowOf(Handle h) const {
  const Graphics& g = rt_.graphics();
  if (!g.exists(h)) return nullptr;
  return window(g.figureOf(h));
}

void QtFrontEnd::schedule() {
  if (scheduled_) return;
  scheduled_ = true;
  QTimer::singleShot(0, this, [this] { flush(); });
}

void QtFrontEnd::flush() {
  scheduled_ = false;
  const Graphics& g = rt_.graphics();
  // Figures first: controls in normalized units need the window's size.
  const auto figures = std::exchange(dirtyFigures_, {});
  for (Handle f : figures) {
    if (FigureWindow* w = window(f)) w->syncFigure();
  }
  const auto controls = std::exchange(dirtyControls_, {});
  for (Handle c : controls) {
    if (!g.exists(c)) continue;
    if (FigureWindow* w = windowOf(c)) w->syncControl(c);
  }
  const auto restack = std::exchange(restack_, {});
  for (Handle f : restack) {
    if (FigureWindow* w = window(f)) w->restack();
  }
}

void QtFrontEnd::close(Handle figure) {
  Graphics& g = rt_.graphics();
  if (!g.exists(figure)) return;
  const std::string request = g.at(figure).text("closerequestfcn");
  if (!request.empty() && request != "closereq") {
    rt_.runCallback(figure, request);
  } else {
    g.remove(figure);
  }
}

void QtFrontEnd::saveWindowImage(Handle figure, const std::string& path) {
  flush();
  FigureWindow* w = window(figure);
  if (w == nullptr) throw Error("window " + std::to_string(figure) + " is not shown");
  const QPixmap picture = w->grab();
  // Encoded first, in the format of the extension, then written as every output file is.
  const QByteArray format = QFileInfo(QString::fromStdString(path)).suffix().toLower().toLatin1();
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (format.isEmpty() || !QImageWriter::supportedImageFormats().contains(format) ||
      !picture.save(&buffer, format.constData())) {
    throw Error("cannot write the picture \"" + path + "\" (unknown image type)");
  }
  OutputFile out(path);
  out.write(std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                      static_cast<std::size_t>(bytes.size())));
  out.commit();
}

void QtFrontEnd::objectCreated(Handle h) {
  const Graphics& g = rt_.graphics();
  const GraphicsObject& o = g.at(h);
  if (o.type() == ObjectType::Figure) {
    auto* w = new FigureWindow(rt_, h);
    connect(w, &FigureWindow::closeRequested, this, [this](Handle fig) {
      try {
        close(fig);
      } catch (const std::exception& e) {
        rt_.console(e.what());
      }
    });
    windows_[h] = w;
    dirtyFigures_.insert(h);
  } else if (o.type() == ObjectType::UiControl) {
    dirtyControls_.insert(h);
  } else if (o.type() != ObjectType::UiMenu && o.type() != ObjectType::UiContextMenu) {
    repaintWindowOf(h);  // menus are built when they open
  }
  schedule();
}

void QtFrontEnd::repaintWindowOf(Handle h) {
  if (h != lastDrawn_ || lastDrawnWindow_.isNull()) {
    lastDrawn_ = h;
    lastDrawnWindow_ = windowOf(h);
  }
  if (FigureWindow* w = lastDrawnWindow_.data()) w->requestRepaint();
}

namespace {
// Properties that change with every press or motion and show nothing.
bool invisibleProperty(std::string_view name) {
  return name == "userdata" || name == "currentpoint" || name == "selectiontype" || name == "currentobject" ||
         name == "currentaxes" || name == "currentcharacter";
}
}  // namespace

void QtFrontEnd::propertyChanged(Handle h, std::string_view name) {
  const Graphics& g = rt_.graphics();
  if (!g.exists(h) || invisibleProperty(name)) return;
  const ObjectType type = g.at(h).type();
  switch (type) {
    case ObjectType::Root:
      return;
    case ObjectType::Figure:
      dirtyFigures_.insert(h);
      if (FigureWindow* w = window(h)) w->requestRepaint();
      break;
    case ObjectType::UiControl:
      dirtyControls_.insert(h);
      break;
    case ObjectType::UiMenu:
    case ObjectType::UiContextMenu:
      return;  // menus are built when they open
    default:
      repaintWindowOf(h);
      return;
  }
  schedule();
}

void QtFrontEnd::childrenReordered(Handle parent) {
  const Graphics& g = rt_.graphics();
  if (!g.exists(parent)) return;
  if (g.at(parent).type() == ObjectType::Figure) {
    restack_.insert(parent);
    schedule();
  }
  if (FigureWindow* w = windowOf(parent)) w->requestRepaint();
}

void QtFrontEnd::objectDeleted(Handle h) {
  if (h == lastDrawn_) {
    lastDrawn_ = kNoHandle;
    lastDrawnWindow_.clear();
  }
  const Graphics& g = rt_.graphics();
  const ObjectType type = g.at(h).type();
  if (type == ObjectType::Figure) {
    auto it = windows_.find(h);
    if (it != windows_.end()) {
      if (FigureWindow* w = it->second.data()) {
        w->hide();
        w->deleteLater();  // it may be inside one of its own event handlers
        retired_.erase(
            std::remove_if(retired_.begin(), retired_.end(), [](const auto& p) { return p.isNull(); }),
            retired_.end());
        retired_.emplace_back(w);
      }
      windows_.erase(it);
    }
    dirtyFigures_.erase(h);
    if (windows_.empty() && lastClosed_) {
      QTimer::singleShot(0, this, [this] {
        if (windows_.empty() && lastClosed_) lastClosed_();
      });
    }
    return;
  }
  dirtyControls_.erase(h);
  if (FigureWindow* w = windowOf(h)) {
    if (type == ObjectType::UiControl) {
      w->removeControl(h);
    } else {
      w->requestRepaint();
    }
  }
}

}  // namespace velmora::platform::qt
