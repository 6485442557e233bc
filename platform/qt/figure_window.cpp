#include "platform/qt/figure_window.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegion>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>

#include "platform/model/accelerators.h"
#include "platform/model/error.h"
#include "platform/model/numbers.h"
#include "platform/qt/painter_canvas.h"
#include "platform/render/render.h"

namespace velmora::platform::qt {

namespace {

QString qs(const std::string& s) {
  return QString::fromStdString(s);
}

QColor toQColor(const Rgb& c) {
  const auto unit = [](double v) { return std::clamp(static_cast<int>(std::lround(v * 255.0)), 0, 255); };
  return QColor(unit(c.r), unit(c.g), unit(c.b));
}

int screenHeight() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->geometry().height() : 1024;
}

// The texts of a `string` property: a list of texts, or one text (split at "|" for list boxes).
QStringList textsOf(const Value& v, bool splitBars) {
  QStringList out;
  if (v.isList()) {
    for (const Value& item : v.list().items) out << (item.isText() ? qs(item.text()) : QString());
  } else if (v.isText()) {
    if (splitBars) {
      out = qs(v.text()).split(QLatin1Char('|'));
    } else {
      out << qs(v.text());
    }
  }
  return out;
}

// Menu labels show "&" literally.
QString menuText(const std::string& label) {
  return qs(label).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

Handle handleIn(const Value& v) {
  if (v.isObject()) return v.object();
  if (v.isScalar()) return static_cast<Handle>(v.scalar());
  return kNoHandle;
}

Qt::CursorShape cursorFor(const std::string& pointer) {
  const std::string p = platform::lower(pointer);
  if (p == "watch") return Qt::WaitCursor;
  if (p == "crosshair" || p == "fullcrosshair" || p == "cross") return Qt::CrossCursor;
  if (p == "fleur") return Qt::SizeAllCursor;
  if (p == "hand") return Qt::PointingHandCursor;
  if (p == "ibeam") return Qt::IBeamCursor;
  if (p == "left" || p == "right") return Qt::SizeHorCursor;
  if (p == "top" || p == "bottom") return Qt::SizeVerCursor;
  return Qt::ArrowCursor;
}

Qt::Alignment alignmentFor(const std::string& a) {
  const std::string l = platform::lower(a);
  if (l == "left") return Qt::AlignLeft;
  if (l == "right") return Qt::AlignRight;
  return Qt::AlignHCenter;
}

std::string keyName(const QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return "return";
    case Qt::Key_Escape:
      return "escape";
    case Qt::Key_Backspace:
      return "backspace";
    case Qt::Key_Delete:
      return "delete";
    case Qt::Key_Tab:
      return "tab";
    case Qt::Key_Left:
      return "leftarrow";
    case Qt::Key_Right:
      return "rightarrow";
    case Qt::Key_Up:
      return "uparrow";
    case Qt::Key_Down:
      return "downarrow";
    case Qt::Key_Space:
      return " ";
    default:
      break;
  }
  // With Ctrl or Alt the text is a control character: name the key with its modifiers, as the
  // window's accelerators are declared ("ctrl+s", "ctrl+shift+z").
  const Qt::KeyboardModifiers mods = e->modifiers();
  if (mods & (Qt::ControlModifier | Qt::AltModifier)) {
    const QString base = QKeySequence(e->key()).toString(QKeySequence::PortableText).toLower();
    if (base.isEmpty() || e->key() == Qt::Key_Control || e->key() == Qt::Key_Alt || e->key() == Qt::Key_Shift)
      return {};
    std::string name = (mods & Qt::ControlModifier) ? "ctrl+" : "";
    if (mods & Qt::ShiftModifier) name += "shift+";
    if (mods & Qt::AltModifier) name += "alt+";
    return name + base.toStdString();
  }
  return e->text().toStdString();
}

// A `cdata` image (rows x cols x 3, values 0 to 1; NaN transparent) as a pixmap.
QPixmap pixmapOf(const Matrix& m) {
  if (m.rows == 0 || m.cols == 0 || m.pages != 3 || m.data.size() != m.rows * m.cols * 3) return {};
  QImage img(static_cast<int>(m.cols), static_cast<int>(m.rows), QImage::Format_ARGB32);
  for (std::size_t r = 0; r < m.rows; ++r) {
    for (std::size_t c = 0; c < m.cols; ++c) {
      const double red = m.at3(r, c, 0), green = m.at3(r, c, 1), blue = m.at3(r, c, 2);
      if (std::isnan(red) || std::isnan(green) || std::isnan(blue)) {
        img.setPixel(static_cast<int>(c), static_cast<int>(r), qRgba(0, 0, 0, 0));
      } else {
        img.setPixel(static_cast<int>(c), static_cast<int>(r), toQColor({red, green, blue}).rgb());
      }
    }
  }
  return QPixmap::fromImage(img);
}

bool isToggleStyle(const std::string& style) {
  return style == "togglebutton" || style == "radiobutton" || style == "checkbox";
}

}  // namespace

template <class F>
void FigureWindow::guarded(F&& action) {
  try {
    action();
  } catch (const std::exception& e) {
    rt_.console(e.what());
  }
}

FigureWindow::FigureWindow(Runtime& runtime, Handle figure) : rt_(runtime), figure_(figure) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setContextMenuPolicy(Qt::PreventContextMenu);
  setAutoFillBackground(false);
}

FigureWindow::~FigureWindow() {
  // The widgets go while this is still a whole window: a focused edit box reports its last edit
  // and its lost focus as it is destroyed, and those reports must reach nothing.
  const auto widgets = findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
  for (QWidget* w : widgets) {
    w->blockSignals(true);
    w->removeEventFilter(this);
  }
  qDeleteAll(widgets);
}

QSize FigureWindow::modelSize() const {
  const Graphics& g = rt_.graphics();
  if (!g.exists(figure_)) return size();
  const auto pos = g.at(figure_).numbers("position");
  if (pos.size() < 4) return size();
  return QSize(std::max(1, static_cast<int>(std::lround(pos[2]))),
               std::max(1, static_cast<int>(std::lround(pos[3]))));
}

void FigureWindow::syncFigure() {
  const Graphics& g = rt_.graphics();
  if (!g.exists(figure_)) return;
  const GraphicsObject& fig = g.at(figure_);
  syncing_ = true;

  std::string title = fig.text("name");
  if (fig.isOn("numbertitle")) {
    title = "Figure " + std::to_string(figure_) + (title.empty() ? "" : ": " + title);
  }
  setWindowTitle(qs(title));

  // Screen pixels from the lower-left corner, the first pixel numbered 1.
  const auto pos = fig.numbers("position");
  if (pos.size() >= 4) {
    const QSize sz = modelSize();
    const int x = static_cast<int>(std::lround(pos[0])) - 1;
    const int y = screenHeight() - (static_cast<int>(std::lround(pos[1])) - 1) - sz.height();
    if (fig.isOn("resize")) {
      setMinimumSize(1, 1);
      setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
      resize(sz);
    } else {
      setFixedSize(sz);
    }
    if (geometry().topLeft() != QPoint(x, y)) move(x, y);
  }

  QPalette pal = palette();
  if (auto c = fig.color("color")) pal.setColor(QPalette::Window, toQColor(*c));
  setPalette(pal);
  setCursor(cursorFor(fig.text("pointer")));

  // Controls placed in normalized units follow the window's size.
  for (auto& [h, entry] : controls_) {
    if (entry.widget && g.exists(h)) entry.widget->setGeometry(controlRect(h));
  }
  syncing_ = false;
  setVisible(fig.visible());
  // No repaint here: a change of the figure asks for the drawing anew (requestRepaint), which repaints
  // the pixels that changed, and a new size repaints the window by itself.
}

QRect FigureWindow::controlRect(Handle control) const {
  const GraphicsObject& o = rt_.graphics().at(control);
  const auto pos = o.numbers("position");
  if (pos.size() < 4) return {};
  const QSize fig = modelSize();
  double x = pos[0], y = pos[1], w = pos[2], h = pos[3];
  if (platform::lower(o.text("units")) == "normalized") {
    x *= fig.width();
    y *= fig.height();
    w *= fig.width();
    h *= fig.height();
  } else {
    x -= 1;  // pixel positions count from 1
    y -= 1;
  }
  const int left = static_cast<int>(std::lround(x));
  const int width = std::max(0, static_cast<int>(std::lround(w)));
  const int height = std::max(0, static_cast<int>(std::lround(h)));
  const int top = fig.height() - static_cast<int>(std::lround(y)) - height;
  return QRect(left, top, width, height);
}

QWidget* FigureWindow::controlWidget(Handle control) const {
  auto it = controls_.find(control);
  return it == controls_.end() ? nullptr : it->second.widget.data();
}

void FigureWindow::removeControl(Handle control) {
  auto it = controls_.find(control);
  if (it == controls_.end()) return;
  if (it->second.widget) {
    it->second.widget->hide();
    it->second.widget->deleteLater();
  }
  controls_.erase(it);
}

void FigureWindow::restack() {
  const Graphics& g = rt_.graphics();
  if (!g.exists(figure_)) return;
  const auto& kids = g.at(figure_).children();
  // Raise from the bottom of the stack up, so the first child ends on top.
  for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
    if (QWidget* w = controlWidget(*it)) w->raise();
  }
}

QWidget* FigureWindow::createControl(Handle control, const std::string& style) {
  QWidget* w = nullptr;
  if (style == "pushbutton" || style == "togglebutton") {
    auto* b = new QPushButton(this);
    b->setCheckable(style == "togglebutton");
    b->setFocusPolicy(Qt::NoFocus);
    connect(b, &QPushButton::clicked, this, [this, control, b](bool checked) {
      if (syncing_) return;
      if (b->isCheckable()) {
        const GraphicsObject& o = rt_.graphics().at(control);
        userClicked(control, Value(checked ? o.number("max") : o.number("min")));
      } else {
        userClicked(control, std::nullopt);
      }
    });
    w = b;
  } else if (style == "radiobutton" || style == "checkbox") {
    QAbstractButton* b = nullptr;
    if (style == "radiobutton") {
      auto* r = new QRadioButton(this);
      r->setAutoExclusive(false);  // the program decides which one is on
      b = r;
    } else {
      b = new QCheckBox(this);
    }
    b->setFocusPolicy(Qt::NoFocus);
    connect(b, &QAbstractButton::clicked, this, [this, control](bool checked) {
      if (syncing_) return;
      const GraphicsObject& o = rt_.graphics().at(control);
      userClicked(control, Value(checked ? o.number("max") : o.number("min")));
    });
    w = b;
  } else if (style == "listbox") {
    auto* list = new QListWidget(this);
    // Entries are one line each in one font: the list is laid out from the first one's size, not by
    // measuring every entry (a 360-wall room lists 362) at each change of the window.
    list->setUniformItemSizes(true);
    connect(list, &QListWidget::itemClicked, this, [this, control, list](QListWidgetItem*) {
      if (!syncing_) userClicked(control, selectedRows(list));
    });
    w = list;
  } else if (style == "popupmenu") {
    auto* combo = new QComboBox(this);
    connect(combo, QOverload<int>::of(&QComboBox::activated), this, [this, control](int index) {
      if (!syncing_) userClicked(control, Value(static_cast<double>(index + 1)));
    });
    w = combo;
  } else if (style == "edit") {
    const GraphicsObject& o = rt_.graphics().at(control);
    if (o.number("max") - o.number("min") > 1) {
      auto* edit = new QPlainTextEdit(this);
      edit->installEventFilter(this);  // the text is taken when the box loses focus
      w = edit;
    } else {
      auto* edit = new QLineEdit(this);
      connect(edit, &QLineEdit::editingFinished, this, [this, control, edit] {
        if (syncing_ || !edit->isModified()) return;
        edit->setModified(false);
        userEdited(control, Value(edit->text().toStdString()));
      });
      w = edit;
    }
  } else if (style == "slider") {
    auto* slider = new QSlider(Qt::Horizontal, this);
    slider->setRange(0, 1000);
    connect(slider, &QSlider::sliderReleased, this, [this, control, slider] {
      const GraphicsObject& o = rt_.graphics().at(control);
      const double lo = o.number("min"), hi = o.number("max");
      userClicked(control, Value(lo + (hi - lo) * slider->value() / 1000.0));
    });
    w = slider;
  } else {
    // "text", "frame" and anything else: a label.
    auto* label = new QLabel(this);
    label->setWordWrap(true);
    label->setAutoFillBackground(style == "text" || style == "frame");
    if (style == "frame") label->setFrameStyle(QFrame::Box | QFrame::Plain);
    w = label;
  }
  w->setProperty("velmoraHandle", QVariant::fromValue<qlonglong>(control));
  w->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(w, &QWidget::customContextMenuRequested, this,
          [this, control](const QPoint& pos) { controlContextMenu(control, pos); });
  w->installEventFilter(this);
  return w;
}

void FigureWindow::syncControl(Handle control) {
  const Graphics& g = rt_.graphics();
  if (!g.exists(control)) return;
  const std::string style = platform::lower(g.at(control).text("style"));
  Control& entry = controls_[control];
  bool recreate = !entry.widget || entry.style != style;
  if (!recreate && style == "edit") {
    // Single- and multi-line edit boxes are different widgets.
    const GraphicsObject& o = g.at(control);
    const bool multi = o.number("max") - o.number("min") > 1;
    recreate = multi != (qobject_cast<QPlainTextEdit*>(entry.widget.data()) != nullptr);
  }
  if (recreate) {
    if (entry.widget) {
      entry.widget->hide();
      entry.widget->deleteLater();
    }
    entry.widget = createControl(control, style);
    entry.style = style;
  }
  syncing_ = true;
  try {
    applyControl(control, entry.widget, style);
  } catch (const std::exception& e) {
    rt_.console(e.what());
  }
  syncing_ = false;
  if (recreate) restack();
}

void FigureWindow::applyControl(Handle control, QWidget* w, const std::string& style) {
  const GraphicsObject& o = rt_.graphics().at(control);
  w->setGeometry(controlRect(control));

  const std::string enable = platform::lower(o.text("enable"));
  w->setEnabled(enable != "off");
  w->setProperty("velmoraInactive", enable == "inactive");
  w->setToolTip(qs(platform::tooltipWithKeys(rt_.graphics(), control)));

  QFont font = QApplication::font();
  const std::string family = o.text("fontname");
  if (equalsIgnoreCase(family, "fixedwidth")) {
    font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  } else if (!family.empty() && !equalsIgnoreCase(family, "default")) {
    font.setFamily(qs(family));
  }
  const double size = o.number("fontsize");
  if (size > 0) font.setPointSizeF(size);
  const std::string weight = platform::lower(o.text("fontweight"));
  font.setWeight(weight == "bold"    ? QFont::Bold
                 : weight == "light" ? QFont::Light
                 : weight == "demi"  ? QFont::DemiBold
                                     : QFont::Normal);
  const std::string angle = platform::lower(o.text("fontangle"));
  font.setItalic(angle == "italic" || angle == "oblique");
  // Set only when it changes: a new font lays the whole control out again.
  if (w->font() != font) w->setFont(font);

  QPalette pal = w->palette();
  if (auto bg = o.color("backgroundcolor")) {
    const QColor c = toQColor(*bg);
    pal.setColor(QPalette::Button, c);
    pal.setColor(QPalette::Window, c);
    if (style == "listbox" || style == "edit" || style == "popupmenu") pal.setColor(QPalette::Base, c);
  }
  if (auto fg = o.color("foregroundcolor")) {
    const QColor c = toQColor(*fg);
    pal.setColor(QPalette::ButtonText, c);
    pal.setColor(QPalette::WindowText, c);
    pal.setColor(QPalette::Text, c);
  }
  if (w->palette() != pal) w->setPalette(pal);

  const Value string = o.get("string");
  const Qt::Alignment align = alignmentFor(o.text("horizontalalignment"));
  const auto values = o.numbers("value");
  const double value = values.empty() ? o.number("min") : values.front();

  if (auto* b = qobject_cast<QAbstractButton*>(w)) {
    b->setText(textsOf(string, false).join(QLatin1Char('\n')));
    if (b->isCheckable() || isToggleStyle(style)) b->setChecked(value == o.number("max"));
    const QPixmap pm = pixmapOf(o.matrix("cdata"));
    // A button without a picture keeps its empty icon: setting one repaints the button every time.
    if (!pm.isNull() || !b->icon().isNull()) b->setIcon(pm.isNull() ? QIcon() : QIcon(pm));
    if (!pm.isNull()) b->setIconSize(pm.size());
  } else if (auto* list = qobject_cast<QListWidget*>(w)) {
    const QStringList items = textsOf(string, true);
    QStringList current;
    for (int i = 0; i < list->count(); ++i) current << list->item(i)->text();
    if (current != items) {
      list->clear();
      list->addItems(items);
    }
    const bool multi = o.number("max") - o.number("min") > 1;
    list->setSelectionMode(multi ? QAbstractItemView::MultiSelection : QAbstractItemView::SingleSelection);
    // The selection is set again only when it changed: each change repaints the list.
    std::vector<int> wanted;
    for (double v : values) {
      const int row = static_cast<int>(std::lround(v)) - 1;
      if (row >= 0 && row < list->count()) wanted.push_back(row);
    }
    std::vector<int> selected;
    for (const QModelIndex& index : list->selectionModel()->selectedIndexes()) selected.push_back(index.row());
    std::sort(selected.begin(), selected.end());
    std::vector<int> wantedSorted = wanted;
    std::sort(wantedSorted.begin(), wantedSorted.end());
    wantedSorted.erase(std::unique(wantedSorted.begin(), wantedSorted.end()), wantedSorted.end());
    const int currentRow = wanted.empty() ? -1 : wanted.back();
    if (selected != wantedSorted || (currentRow >= 0 && list->currentRow() != currentRow)) {
      list->clearSelection();
      for (const int row : wanted) {
        list->item(row)->setSelected(true);
        list->setCurrentRow(row, QItemSelectionModel::NoUpdate);
      }
    }
  } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
    combo->clear();
    combo->addItems(textsOf(string, true));
    combo->setCurrentIndex(static_cast<int>(std::lround(value)) - 1);
  } else if (auto* line = qobject_cast<QLineEdit*>(w)) {
    const QString text = textsOf(string, false).join(QLatin1Char(' '));
    if (line->text() != text) line->setText(text);
    line->setAlignment(align | Qt::AlignVCenter);
  } else if (auto* edit = qobject_cast<QPlainTextEdit*>(w)) {
    const QString text = textsOf(string, false).join(QLatin1Char('\n'));
    if (edit->toPlainText() != text) edit->setPlainText(text);
  } else if (auto* slider = qobject_cast<QSlider*>(w)) {
    const double lo = o.number("min"), hi = o.number("max");
    slider->setValue(hi > lo ? static_cast<int>(std::lround((value - lo) / (hi - lo) * 1000.0)) : 0);
  } else if (auto* label = qobject_cast<QLabel*>(w)) {
    label->setText(textsOf(string, false).join(QLatin1Char('\n')));
    label->setAlignment(align | Qt::AlignTop);
  }
  w->setVisible(o.visible());
}

// The selected entries of a list, counting from 1: one number, or a row of them.
Value FigureWindow::selectedRows(const QListWidget* list) {
  std::vector<double> rows;
  for (int i = 0; i < list->count(); ++i) {
    if (list->item(i)->isSelected()) rows.push_back(i + 1);
  }
  return rows.size() == 1 ? Value(rows[0]) : Value::row(rows);
}

void FigureWindow::userClicked(Handle control, std::optional<Value> value) {
  guarded([&] { rt_.click(control, std::move(value)); });
  // The widget shows what the model holds once the callback has run.
  if (rt_.graphics().exists(control)) syncControl(control);
}

void FigureWindow::userEdited(Handle control, Value text) {
  guarded([&] {
    rt_.graphics().set(control, "string", text);
    rt_.click(control);
  });
}

bool FigureWindow::eventFilter(QObject* watched, QEvent* event) {
  auto* w = qobject_cast<QWidget*>(watched);
  if (w == nullptr) return QWidget::eventFilter(watched, event);
  // An inactive control looks enabled but takes no click or key; its context menu still opens.
  if (w->property("velmoraInactive").toBool()) {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick: {
        const auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() != Qt::RightButton) return true;
        break;
      }
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
        return true;
      default:
        break;
    }
  }
  // A list's selection moved with the keyboard is a choice as a click is.
  if (event->type() == QEvent::KeyRelease && !syncing_) {
    if (auto* list = qobject_cast<QListWidget*>(w)) {
      switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_Home:
        case Qt::Key_End:
          userClicked(w->property("velmoraHandle").toLongLong(), selectedRows(list));
          return false;
        default:
          break;
      }
    }
  }
  if (event->type() == QEvent::FocusOut) {
    if (auto* edit = qobject_cast<QPlainTextEdit*>(w); edit && edit->document()->isModified()) {
      edit->document()->setModified(false);
      const Handle control = w->property("velmoraHandle").toLongLong();
      List lines;
      for (const QString& l : edit->toPlainText().split(QLatin1Char('\n')))
        lines.items.emplace_back(l.toStdString());
      userEdited(control, Value(std::move(lines)));
    }
  }
  return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// Menus

QMenu* FigureWindow::buildMenu(Handle menu, QWidget* parent) {
  const Graphics& g = rt_.graphics();
  auto* qmenu = new QMenu(parent);
  const auto& kids = g.at(menu).children();
  // Items show in the order they were made: the newest child is first in the stack.
  for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
    const Handle item = *it;
    const GraphicsObject& o = g.at(item);
    if (o.type() != ObjectType::UiMenu || !o.visible()) continue;
    if (o.isOn("separator") && !qmenu->isEmpty()) qmenu->addSeparator();
    const bool hasItems = std::any_of(o.children().begin(), o.children().end(),
                                      [&](Handle c) { return g.at(c).type() == ObjectType::UiMenu; });
    if (hasItems) {
      QMenu* sub = buildMenu(item, qmenu);
      sub->setTitle(menuText(o.text("label")));
      sub->setEnabled(o.text("enable") != "off");
      qmenu->addMenu(sub);
      continue;
    }
    QAction* action = qmenu->addAction(menuText(o.text("label")));
    action->setCheckable(o.isOn("checked"));
    action->setChecked(o.isOn("checked"));
    action->setEnabled(o.text("enable") != "off");
    action->setData(QVariant::fromValue<qlonglong>(item));
    connect(action, &QAction::triggered, this, [this, item] {
      if (rt_.graphics().exists(item)) guarded([&] { rt_.click(item); });
    });
  }
  return qmenu;
}

void FigureWindow::popupMenu(Handle menu, const QPoint& globalPos) {
  if (!rt_.graphics().exists(menu)) return;
  QMenu* qmenu = buildMenu(menu, this);
  if (!qmenu->isEmpty()) qmenu->exec(globalPos);
  qmenu->deleteLater();
}

void FigureWindow::controlContextMenu(Handle control, const QPoint& localPos) {
  const Graphics& g = rt_.graphics();
  if (!g.exists(control)) return;
  const Handle menu = handleIn(g.at(control).get("uicontextmenu"));
  QWidget* w = controlWidget(control);
  if (menu != kNoHandle && w != nullptr) popupMenu(menu, w->mapToGlobal(localPos));
}

// ---------------------------------------------------------------------------------------------
// Painting and the pointer

namespace {

// The device pixels a window of this size and pixel ratio has.
QSize devicePixels(const QWidget& w, qreal dpr) {
  return QSize(static_cast<int>(std::ceil(w.width() * dpr)), static_cast<int>(std::ceil(w.height() * dpr)));
}

// Where two pictures of one size and format differ, in widget pixels: bands of a few device rows, each
// as wide as the changes in it.
QRegion changedRegion(const QImage& before, const QImage& after) {
  constexpr int kBand = 8;
  const int w = after.width(), h = after.height();
  const qreal dpr = after.devicePixelRatio();
  const auto bytes = static_cast<std::size_t>(w) * 4;
  QRegion region;
  for (int top = 0; top < h; top += kBand) {
    int left = w, right = -1;
    for (int y = top; y < std::min(h, top + kBand); ++y) {
      const auto* a = reinterpret_cast<const QRgb*>(before.constScanLine(y));
      const auto* b = reinterpret_cast<const QRgb*>(after.constScanLine(y));
      if (std::memcmp(a, b, bytes) == 0) continue;
      int x0 = 0, x1 = w - 1;
      while (a[x0] == b[x0]) ++x0;
      while (a[x1] == b[x1]) --x1;
      left = std::min(left, x0);
      right = std::max(right, x1);
    }
    if (right < left) continue;
    // Widget pixels that hold any changed device pixel.
    const int x0 = static_cast<int>(std::floor(left / dpr)), y0 = static_cast<int>(std::floor(top / dpr));
    const int x1 = static_cast<int>(std::ceil((right + 1) / dpr)),
              y1 = static_cast<int>(std::ceil(std::min(h, top + kBand) / dpr));
    region += QRect(x0, y0, x1 - x0, y1 - y0);
  }
  return region;
}

}  // namespace

void FigureWindow::requestRepaint() {
  drawingValid_ = false;
  if (repaintAsked_) return;
  repaintAsked_ = true;
  QMetaObject::invokeMethod(this, &FigureWindow::redraw, Qt::QueuedConnection);
}

void FigureWindow::redraw() {
  repaintAsked_ = false;
  // Not shown: the paint that shows the window draws it.
  if (!isVisible() || !rt_.graphics().exists(figure_)) return;
  // Drawn meanwhile, by a paint that may not have reached the screen (a grabbed picture): all of it.
  if (drawingValid_) {
    update();
    return;
  }
  const QImage before = drawing_;
  drawFigure();
  if (before.size() != drawing_.size() || before.devicePixelRatio() != drawing_.devicePixelRatio() ||
      before.format() != drawing_.format()) {
    update();
    return;
  }
  const QRegion changed = changedRegion(before, drawing_);
  if (!changed.isEmpty()) update(changed);
}

void FigureWindow::drawFigure() {
  const qreal dpr = devicePixelRatioF();
  // Opaque, as the window is: text keeps the screen's own antialiasing. A new picture each time: the
  // last one is what the screen shows until the changes are repainted.
  drawing_ = QImage(devicePixels(*this, dpr), QImage::Format_RGB32);
  drawing_.setDevicePixelRatio(dpr);
  // Texts measured and drawn at the window's resolution.
  drawing_.setDotsPerMeterX(static_cast<int>(std::lround(logicalDpiX() / 0.0254)));
  drawing_.setDotsPerMeterY(static_cast<int>(std::lround(logicalDpiY() / 0.0254)));
  drawing_.fill(palette().color(QPalette::Window));
  drawingValid_ = true;
  QPainter p(&drawing_);
  try {
    p.setRenderHint(QPainter::Antialiasing);
    PainterCanvas canvas(p, width(), height());
    canvas.setEveryMapByPixel(true);
    renderFigure(rt_.graphics(), figure_, canvas);
  } catch (const std::exception& e) {
    if (!paintFailed_) rt_.console(std::string("drawing failed: ") + e.what());
    paintFailed_ = true;
  }
}

void FigureWindow::paintEvent(QPaintEvent*) {
  if (!rt_.graphics().exists(figure_)) return;
  const qreal dpr = devicePixelRatioF();
  if (!drawingValid_ || drawing_.size() != devicePixels(*this, dpr) || drawing_.devicePixelRatio() != dpr)
    drawFigure();
  QPainter p(this);
  p.drawImage(QPointF(0, 0), drawing_);
}

QPointF FigureWindow::dataPoint(Handle axes, const QPointF& pos) const {
  const Graphics& g = rt_.graphics();
  if (axes == kNoHandle) axes = g.currentAxes(figure_);
  if (axes == kNoHandle || !g.exists(axes)) {
    // No axes: pixels from the lower-left corner.
    return QPointF(pos.x() + 1, height() - pos.y());
  }
  const AxesMapping m = axesMapping(g, axes, width(), height());
  return QPointF(m.toDataX(pos.x()), m.toDataY(pos.y()));
}

void FigureWindow::pressAt(const QPointF& pos, Qt::MouseButton button, Qt::KeyboardModifiers mods,
                           bool doubleClick) {
  guarded([&] {
    const Graphics& g = rt_.graphics();
    if (!g.exists(figure_)) return;
    const int number = button == Qt::RightButton ? 3 : button == Qt::MiddleButton ? 2 : 1;
    if (rt_.waitingForPointer()) {
      const QPointF d = dataPoint(kNoHandle, pos);
      rt_.pressFigure(figure_, d.x(), d.y(), number);
      return;
    }
    std::string type = "normal";
    if (doubleClick) {
      type = "open";
    } else if (button == Qt::RightButton || (button == Qt::LeftButton && (mods & Qt::ControlModifier))) {
      type = "alt";
    } else if (button == Qt::MiddleButton || (button == Qt::LeftButton && (mods & Qt::ShiftModifier))) {
      type = "extend";
    }
    const Handle hit = hitTest(g, figure_, pos.x(), pos.y(), width(), height());
    if (hit == figure_ || hit == kNoHandle) {
      const QPointF d = dataPoint(kNoHandle, pos);
      rt_.pressFigure(figure_, d.x(), d.y(), number);
    } else {
      const QPointF d = dataPoint(g.ancestor(hit, ObjectType::Axes), pos);
      rt_.press(hit, d.x(), d.y(), type);
    }
    // A right click opens the context menu of the object hit (or of the nearest holder of one).
    if (button == Qt::RightButton && !doubleClick) {
      for (Handle h = hit; h != kNoHandle && g.exists(h); h = g.at(h).parent()) {
        const Handle menu = handleIn(g.at(h).get("uicontextmenu"));
        if (menu != kNoHandle) {
          popupMenu(menu, mapToGlobal(pos.toPoint()));
          break;
        }
        if (h == figure_) break;
      }
    }
  });
}

void FigureWindow::mousePressEvent(QMouseEvent* event) {
  pressAt(event->position(), event->button(), event->modifiers(), false);
}

void FigureWindow::mouseDoubleClickEvent(QMouseEvent* event) {
  pressAt(event->position(), event->button(), event->modifiers(), true);
}

void FigureWindow::mouseMoveEvent(QMouseEvent* event) {
  guarded([&] {
    if (!rt_.graphics().exists(figure_)) return;
    const QPointF d = dataPoint(kNoHandle, event->position());
    rt_.motion(figure_, d.x(), d.y());
  });
}

void FigureWindow::mouseReleaseEvent(QMouseEvent* event) {
  guarded([&] {
    if (!rt_.graphics().exists(figure_)) return;
    const QPointF d = dataPoint(kNoHandle, event->position());
    rt_.release(figure_, d.x(), d.y());
  });
}

void FigureWindow::keyPressEvent(QKeyEvent* event) {
  const std::string key = keyName(event);
  if (key.empty()) return QWidget::keyPressEvent(event);
  guarded([&] {
    if (rt_.graphics().exists(figure_)) rt_.key(figure_, key);
  });
}

void FigureWindow::closeEvent(QCloseEvent* event) {
  // The model decides: the front end deletes the figure and this window follows.
  event->ignore();
  emit closeRequested(figure_);
}

void FigureWindow::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  if (syncing_ || !event->spontaneous() || !isVisible()) return;
  // The user (or the window manager) moved the window: the model keeps the place.
  guarded([&] {
    Graphics& g = rt_.graphics();
    if (!g.exists(figure_)) return;
    auto pos = g.at(figure_).numbers("position");
    if (pos.size() < 4) return;
    const double x = geometry().x() + 1;
    const double y = screenHeight() - geometry().y() - geometry().height() + 1;
    if (x == pos[0] && y == pos[1]) return;
    syncing_ = true;
    g.set(figure_, "position", Value::row({x, y, pos[2], pos[3]}));
    syncing_ = false;
  });
}

}  // namespace velmora::platform::qt
