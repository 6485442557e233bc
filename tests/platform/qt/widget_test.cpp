// Real widgets under the offscreen platform: clicks, context menus and pointer drags reach the model
// and the dispatcher exactly as a user's would.

#include <QApplication>
#include <QContextMenuEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/model/error.h"
#include "platform/qt/figure_window.h"
#include "platform/qt/qt_front_end.h"
#include "platform/qt/qt_ui.h"
#include "platform/render/render.h"
#include "platform/model/runtime.h"
#include "platform/automation/scripted_ui.h"
#include "support/qt_application.h"

namespace velmora::platform::qt {
namespace {

// A window of the model with a dispatcher that records the arguments of each call.
struct Fixture : ::testing::Test {
  ScriptedUi ui;
  Runtime rt{ui};
  std::vector<std::string> verbs;
  std::unique_ptr<QtFrontEnd> frontEnd;
  Handle fig = kNoHandle;

  void SetUp() override {
    test_support::qtApplication();
    rt.setDispatcher([this](Runtime&, const std::vector<Value>& args) {
      verbs.push_back(args.empty() ? "init" : args[0].isText() ? args[0].text() : "?");
    });
    frontEnd = std::make_unique<QtFrontEnd>(rt);
    fig = graphics().create(ObjectType::Figure, kRoot);
    graphics().setRow(fig, "position", {100, 100, 640, 560});
    graphics().setText(fig, "resize", "off");
    graphics().setText(fig, "name", "VELMORA");
    graphics().setText(fig, "numbertitle", "off");
  }
  void TearDown() override { frontEnd.reset(); }

  Graphics& graphics() { return rt.graphics(); }
  FigureWindow* window() { return frontEnd->window(fig); }

  Handle control(const std::string& style, std::vector<double> position, const std::string& callback = "") {
    const Handle h = graphics().create(ObjectType::UiControl, fig);
    graphics().setText(h, "style", style);
    graphics().setRow(h, "position", std::move(position));
    graphics().setText(h, "callback", callback);
    return h;
  }
  QWidget* widget(Handle h) {
    frontEnd->flush();
    QCoreApplication::processEvents();
    return window()->controlWidget(h);
  }
  static void click(QWidget* w, QPoint at, Qt::MouseButton button = Qt::LeftButton) {
    const QPointF local(at), global(w->mapToGlobal(at));
    QMouseEvent press(QEvent::MouseButtonPress, local, global, button, button, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, button, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &release);
  }
  static void click(QWidget* w) { click(w, w->rect().center()); }
};

TEST_F(Fixture, PushButtonClickRunsItsCallbackThroughTheDispatcher) {
  const Handle grid = control("pushbutton", {1, 1, 40, 20}, "velmoracopy('changegrid')");
  graphics().setText(grid, "string", "grid");
  graphics().setText(grid, "tooltipstring", "Set grid spacing");
  auto* button = qobject_cast<QPushButton*>(widget(grid));
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->text(), "grid");
  EXPECT_EQ(button->toolTip(), "Set grid spacing");
  click(button);
  EXPECT_EQ(verbs, std::vector<std::string>{"changegrid"});
  EXPECT_EQ(rt.callbackObject(), kNoHandle);  // restored once the callback ended

  // "off" shows a disabled button; "inactive" looks enabled but runs nothing.
  graphics().setText(grid, "enable", "off");
  EXPECT_FALSE(widget(grid)->isEnabled());
  graphics().setText(grid, "enable", "inactive");
  EXPECT_TRUE(widget(grid)->isEnabled());
  click(widget(grid));
  EXPECT_EQ(verbs.size(), 1u);
}

TEST_F(Fixture, ToggleRadioAndListClicksUpdateTheValue) {
  const Handle snap = control("togglebutton", {41, 1, 40, 20}, "velmoracopy('snap')");
  const Handle reflection = control("radiobutton", {565, 70, 70, 20}, "velmoracopy('select')");
  const Handle decibel = control("radiobutton", {565, 50, 70, 20}, "velmoracopy('select')");
  const Handle list = control("listbox", {555, 460, 70, 75}, "velmoracopy('select')");
  graphics().setText(list, "string", "all|direct|wall 1|wall 2");
  graphics().setNumber(list, "value", 1);
  graphics().setNumber(reflection, "value", 1);
  graphics().setText(reflection, "string", "reflections");
  graphics().setText(decibel, "string", "decibels");
  window()->show();

  click(widget(snap));
  EXPECT_EQ(graphics().at(snap).number("value"), 1);
  EXPECT_TRUE(qobject_cast<QPushButton*>(widget(snap))->isChecked());
  click(widget(snap));
  EXPECT_EQ(graphics().at(snap).number("value"), 0);

  // Radio buttons are not exclusive by themselves: the program decides.
  click(widget(decibel), QPoint(8, 10));  // on the indicator
  EXPECT_EQ(graphics().at(decibel).number("value"), 1);
  EXPECT_EQ(graphics().at(reflection).number("value"), 1);
  EXPECT_TRUE(qobject_cast<QRadioButton*>(widget(reflection))->isChecked());

  auto* listWidget = qobject_cast<QListWidget*>(widget(list));
  ASSERT_NE(listWidget, nullptr);
  ASSERT_EQ(listWidget->count(), 4);
  EXPECT_EQ(listWidget->item(3)->text(), "wall 2");
  EXPECT_TRUE(listWidget->item(0)->isSelected());
  click(listWidget->viewport(), listWidget->visualItemRect(listWidget->item(2)).center());
  EXPECT_EQ(graphics().at(list).number("value"), 3);
  EXPECT_EQ(verbs, (std::vector<std::string>{"snap", "snap", "select", "select"}));

  // The model speaks, the widget follows.
  graphics().setNumber(list, "value", 2);
  EXPECT_TRUE(qobject_cast<QListWidget*>(widget(list))->item(1)->isSelected());
  graphics().setNumber(snap, "value", 1);
  EXPECT_TRUE(qobject_cast<QPushButton*>(widget(snap))->isChecked());
}

TEST_F(Fixture, ListSelectionMovedWithTheKeyboardRunsTheCallback) {
  const Handle list = control("listbox", {555, 460, 70, 75}, "velmoracopy('select')");
  graphics().setText(list, "string", "all|direct|wall 1|wall 2");
  graphics().setNumber(list, "value", 1);
  window()->show();
  auto* listWidget = qobject_cast<QListWidget*>(widget(list));
  ASSERT_NE(listWidget, nullptr);
  listWidget->setFocus();
  for (int key : {Qt::Key_Down, Qt::Key_Down}) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(listWidget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(listWidget, &release);
  }
  EXPECT_EQ(graphics().at(list).number("value"), 3);
  EXPECT_EQ(verbs, (std::vector<std::string>{"select", "select"}));
  // Other keys choose nothing.
  QKeyEvent letter(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier);
  QApplication::sendEvent(listWidget, &letter);
  EXPECT_EQ(verbs.size(), 2u);
}

TEST_F(Fixture, ControlsArePlacedFromTheLowerLeftCorner) {
  struct Row {
    std::string units;
    std::vector<double> position;
    QRect expected;  // widget pixels, origin top-left
  };
  const std::vector<Row> rows = {
      {"pixels", {1, 1, 40, 20}, QRect(0, 540, 40, 20)},
      {"pixels", {555, 460, 70, 75}, QRect(554, 26, 70, 75)},
      {"pixels", {290, 70, 20, 20}, QRect(289, 471, 20, 20)},
      {"normalized", {0, 0.95, 0.05, 0.05}, QRect(0, 0, 32, 28)},
      {"normalized", {0.3, 0.25, 0.4, 0.05}, QRect(192, 392, 256, 28)},
  };
  for (const Row& row : rows) {
    const Handle h = control("text", row.position);
    graphics().setText(h, "units", row.units);
    EXPECT_EQ(widget(h)->geometry(), row.expected) << row.units << " " << row.position[0];
  }
  EXPECT_EQ(window()->size(), QSize(640, 560));
  EXPECT_EQ(window()->minimumSize(), window()->maximumSize());  // not resizable
  EXPECT_EQ(window()->windowTitle(), "VELMORA");

  // A control that changes style gets a widget of the new kind, in the same place.
  const Handle h = control("pushbutton", {1, 1, 40, 20});
  EXPECT_NE(qobject_cast<QPushButton*>(widget(h)), nullptr);
  graphics().setText(h, "style", "text");
  graphics().setText(h, "string", "a");
  EXPECT_NE(qobject_cast<QLabel*>(widget(h)), nullptr);
  EXPECT_EQ(widget(h)->geometry(), QRect(0, 540, 40, 20));
  graphics().setText(h, "visible", "off");
  EXPECT_TRUE(widget(h)->isHidden());
  graphics().remove(h);
  EXPECT_EQ(widget(h), nullptr);
}

TEST_F(Fixture, RightClickOpensTheContextMenuOfAnInactiveButton) {
  const Handle objects = control("pushbutton", {141, 1, 55, 20});
  graphics().setText(objects, "string", "objects");
  graphics().setText(objects, "enable", "inactive");
  const Handle menu = graphics().create(ObjectType::UiContextMenu, fig);
  for (const char* label : {"grid", "images", "radius"}) {
    const Handle item = graphics().create(ObjectType::UiMenu, menu);
    graphics().setText(item, "label", label);
    graphics().setText(item, "checked", std::string(label) == "grid" ? "off" : "on");
    graphics().setText(item, "callback", std::string("velmoracopy('hideviewobjects_") + label + "')");
  }
  graphics().set(objects, "uicontextmenu", Value::handle(menu));
  window()->show();
  QWidget* button = widget(objects);

  click(button);  // a left click on an inactive button does nothing
  EXPECT_TRUE(verbs.empty());

  QStringList labels;
  std::vector<bool> checked;
  QTimer::singleShot(0, [&] {
    auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(popup, nullptr);
    for (QAction* a : popup->actions()) {
      labels << a->text();
      checked.push_back(a->isChecked());
    }
    popup->actions().at(1)->trigger();
    popup->close();
  });
  const QPoint at = button->rect().center();
  QContextMenuEvent event(QContextMenuEvent::Mouse, at, button->mapToGlobal(at));
  QApplication::sendEvent(button, &event);

  EXPECT_EQ(labels, (QStringList{"grid", "images", "radius"}));
  EXPECT_EQ(checked, (std::vector<bool>{false, true, true}));
  EXPECT_EQ(verbs, std::vector<std::string>{"hideviewobjects_images"});
}

TEST_F(Fixture, PressMotionReleaseOnAnAxesRunTheDragCallbacksInDataUnits) {
  const Handle ax = graphics().create(ObjectType::Axes, fig);
  graphics().setRow(ax, "position", {0, 0.05, 0.9, 0.9});
  graphics().setRow(ax, "xlim", {0, 20});
  graphics().setRow(ax, "ylim", {-10, 10});
  graphics().setText(ax, "buttondownfcn", "velmoracopy('zoomaxes')");
  const Handle wall = graphics().create(ObjectType::Line, ax);
  graphics().setRow(wall, "xdata", {5, 15});
  graphics().setRow(wall, "ydata", {0, 0});
  graphics().setText(wall, "buttondownfcn",
                     "set(gcf,'windowbuttonmotionfcn','velmoracopy(''movewallpoint'')')");
  graphics().setText(fig, "windowbuttonupfcn", "velmoracopy('refreshmwp')");
  window()->show();
  widget(kNoHandle);

  const AxesMapping m = axesMapping(graphics(), ax, 640, 560);
  const auto pixel = [&](double x, double y) { return QPointF(m.toPixelX(x), m.toPixelY(y)); };
  const auto send = [&](QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QMouseEvent e(type, at, window()->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(window(), &e);
  };
  const auto point = [&] {
    const Matrix& cp = graphics().at(ax).matrix("currentpoint");
    return std::make_pair(cp(0, 0), cp(0, 1));
  };

  send(QEvent::MouseButtonPress, pixel(10, 0), Qt::LeftButton, Qt::LeftButton);
  EXPECT_EQ(graphics().at(fig).text("windowbuttonmotionfcn"), "velmoracopy('movewallpoint')");
  EXPECT_EQ(graphics().currentObject(fig), wall);
  EXPECT_EQ(graphics().at(fig).text("selectiontype"), "normal");
  EXPECT_NEAR(point().first, 10, 0.05);
  EXPECT_NEAR(point().second, 0, 0.05);

  send(QEvent::MouseMove, pixel(12, 3), Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(verbs, std::vector<std::string>{"movewallpoint"});
  EXPECT_NEAR(point().first, 12, 0.05);
  EXPECT_NEAR(point().second, 3, 0.05);

  send(QEvent::MouseButtonRelease, pixel(12.5, 3), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(verbs, (std::vector<std::string>{"movewallpoint", "refreshmwp"}));
  EXPECT_NEAR(point().first, 12.5, 0.05);

  // Away from the wall the axes itself is hit; a right press is an "alt" selection.
  send(QEvent::MouseButtonPress, pixel(3, 7), Qt::RightButton, Qt::RightButton);
  EXPECT_EQ(verbs.back(), "zoomaxes");
  EXPECT_EQ(graphics().at(fig).text("selectiontype"), "alt");
  EXPECT_EQ(graphics().currentObject(fig), ax);
}

TEST_F(Fixture, ClosingTheWindowDeletesItsFigure) {
  bool lastGone = false;
  frontEnd->setLastWindowClosed([&] { lastGone = true; });
  const Handle other = graphics().create(ObjectType::Figure, kRoot);
  frontEnd->flush();
  window()->close();
  EXPECT_FALSE(graphics().exists(fig));
  EXPECT_EQ(frontEnd->window(fig), nullptr);
  QCoreApplication::processEvents();
  EXPECT_FALSE(lastGone);
  frontEnd->window(other)->close();
  QCoreApplication::processEvents();
  EXPECT_TRUE(lastGone);  // the program ends with its last window

  // A window with a close request runs it instead of going away.
  const Handle third = graphics().create(ObjectType::Figure, kRoot);
  graphics().setText(third, "closerequestfcn", "velmoracopy('closing')");
  frontEnd->flush();
  frontEnd->window(third)->close();
  EXPECT_TRUE(graphics().exists(third));
  EXPECT_EQ(verbs, std::vector<std::string>{"closing"});
}

TEST_F(Fixture, EditBoxesHandTheirTextToTheModelAndRunTheCallback) {
  const Handle single = control("edit", {10, 100, 100, 20}, "velmoracopy('typed')");
  auto* line = qobject_cast<QLineEdit*>(widget(single));
  ASSERT_NE(line, nullptr);
  line->setText("12.5");
  line->setModified(true);
  emit line->editingFinished();
  EXPECT_EQ(graphics().at(single).text("string"), "12.5");
  EXPECT_EQ(verbs, std::vector<std::string>{"typed"});

  // max - min > 1: several lines, handed back as a list of lines.
  const Handle multi = control("edit", {10, 200, 200, 100});
  graphics().setNumber(multi, "max", 10);
  graphics().set(multi, "string", Value(List{{Value("wall 1: 0"), Value("wall 2: 0")}}));
  auto* text = qobject_cast<QPlainTextEdit*>(widget(multi));
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->toPlainText(), "wall 1: 0\nwall 2: 0");
  text->setPlainText("wall 1: 50\nwall 2: 0");
  text->document()->setModified(true);
  QFocusEvent out(QEvent::FocusOut);
  QApplication::sendEvent(text, &out);
  EXPECT_EQ(graphics().get(multi, "string"), Value(List{{Value("wall 1: 50"), Value("wall 2: 0")}}));
}

TEST_F(Fixture, WindowPictureShowsTheControls) {
  graphics().setRow(fig, "color", {1, 1, 1});
  const Handle button = control("pushbutton", {1, 1, 40, 20});
  graphics().setRow(button, "backgroundcolor", {1, 0, 0});
  const auto path = std::filesystem::temp_directory_path() / "velmora_widget_test.png";
  frontEnd->saveWindowImage(fig, path.string());
  const QImage picture(QString::fromStdString(path.string()));
  ASSERT_FALSE(picture.isNull());
  EXPECT_EQ(picture.size(), QSize(640, 560));
  const QColor inButton = picture.pixelColor(20, 550);  // lower-left corner: the button
  EXPECT_GT(inButton.red(), 200);
  EXPECT_GT(inButton.red(), inButton.green() + 80);
  EXPECT_EQ(picture.pixelColor(300, 300), QColor(Qt::white));  // the window colour elsewhere
  std::filesystem::remove(path);
  EXPECT_THROW(frontEnd->saveWindowImage(fig, "/nonexistent-folder/x.png"), Error);
}

// Runs `answer` on the modal dialog once it shows.
void whenModal(std::function<void(QWidget*)> answer) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, answer] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      poll->stop();
      poll->deleteLater();
      answer(modal);
    }
  });
  poll->start(5);
}

TEST(QtUiDialogs, InputDialogGivesTheTypedTextsOrNothing) {
  test_support::qtApplication();
  QtUi ui;
  const InputDialog dialog{{"x (m):", "y (m):"}, "Source position", 1, {"1", "2"}};
  QString title;
  whenModal([&](QWidget* modal) {
    title = modal->windowTitle();
    const auto edits = modal->findChildren<QLineEdit*>();
    ASSERT_EQ(edits.size(), 2);
    EXPECT_EQ(edits[0]->text(), "1");
    edits[1]->setText("7.5");
    modal->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
  EXPECT_EQ(ui.input(dialog), (std::vector<std::string>{"1", "7.5"}));
  EXPECT_EQ(title, "Source position");

  whenModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
  EXPECT_EQ(ui.input(dialog), std::nullopt);

  // Several lines per field.
  whenModal([](QWidget* modal) {
    auto* edit = modal->findChild<QPlainTextEdit*>();
    ASSERT_NE(edit, nullptr);
    edit->setPlainText("a\nb");
    modal->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
  EXPECT_EQ(ui.input({{"lines:"}, "t", 4, {""}}), std::vector<std::string>{"a\nb"});
}

TEST(QtUiDialogs, ListDialogNarrowsAsTheSearchIsTypedAndGivesTheChosenItem) {
  test_support::qtApplication();
  QtUi ui;
  const ListDialog dialog{"Wall material", "Material of wall 2:",
                          {"none", "brick (unglazed)", "carpet (thin; on concrete)", "carpet (heavy; on foam rubber)"},
                          "none"};
  QStringList shown;
  whenModal([&](QWidget* modal) {
    auto* list = modal->findChild<QListWidget*>();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->currentItem()->text(), "none");
    modal->findChild<QLineEdit*>()->setText("CARPET");
    for (int k = 0; k < list->count(); ++k)
      if (!list->item(k)->isHidden()) shown << list->item(k)->text();
    // The first item left is selected; the user takes the second.
    EXPECT_EQ(list->currentItem()->text(), "carpet (thin; on concrete)");
    list->setCurrentRow(3);
    // VELMORA_SCREENSHOTS=folder keeps a picture of the dialog, to look at.
    if (const char* folder = std::getenv("VELMORA_SCREENSHOTS"))
      modal->grab().save(QString::fromUtf8(folder) + "/material-dialog.png");
    modal->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
  EXPECT_EQ(ui.choose(dialog), "carpet (heavy; on foam rubber)");
  EXPECT_EQ(shown, (QStringList{"carpet (thin; on concrete)", "carpet (heavy; on foam rubber)"}));
  // A search that leaves nothing gives nothing; so does cancel.
  whenModal([](QWidget* modal) {
    modal->findChild<QLineEdit*>()->setText("marzipan");
    modal->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
  EXPECT_EQ(ui.choose(dialog), std::nullopt);
  whenModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
  EXPECT_EQ(ui.choose(dialog), std::nullopt);
}

TEST(QtUiDialogs, QuestionDialogGivesThePressedButton) {
  test_support::qtApplication();
  QtUi ui;
  const QuestionDialog dialog{"Save the case?", "Question", {"Yes", "No", "Cancel"}, "Yes"};
  whenModal([](QWidget* modal) {
    EXPECT_EQ(modal->windowTitle(), "Question");
    const auto buttons = modal->findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 3);
    for (QPushButton* b : buttons) {
      EXPECT_EQ(b->isDefault(), b->text() == "Yes");
      if (b->text() == "No") b->click();
    }
  });
  EXPECT_EQ(ui.question(dialog), std::optional<std::string>("No"));

  whenModal([](QWidget* modal) { modal->close(); });
  EXPECT_EQ(ui.question(dialog), std::nullopt);
}

TEST(QtUiDialogs, WaitEndsWhenDoneOrWhenNoWindowIsLeft) {
  test_support::qtApplication();
  QtUi ui;
  bool done = false;
  QTimer::singleShot(20, [&] { done = true; });
  EXPECT_TRUE(ui.waitUntil([&] { return done; }));
  bool open = true;
  ui.setWindowsOpen([&] { return open; });
  QTimer::singleShot(20, [&] { open = false; });
  EXPECT_FALSE(ui.waitUntil([] { return false; }));
}

// The map computation reports every wall; the bar shows only once the work has lasted a moment, with
// the latest report.
TEST(QtUiDialogs, ProgressBarShowsOnlyForWorkThatLasts) {
  test_support::qtApplication();
  QtUi ui;
  const auto bar = [] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* d = qobject_cast<QProgressDialog*>(w); d != nullptr && d->isVisible()) return d;
    return static_cast<QProgressDialog*>(nullptr);
  };
  for (int i = 0; i <= 360; ++i) ui.progress("processing wall " + std::to_string(i) + " on 360", i / 360.0);
  EXPECT_EQ(bar(), nullptr);
  ui.closeProgress();

  ui.progress("processing wall 0 on 2", 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  ui.progress("processing wall 1 on 2", 0.5);
  QProgressDialog* shown = bar();
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->windowTitle(), "Progress bar");
  EXPECT_EQ(shown->labelText(), "processing wall 1 on 2");
  EXPECT_EQ(shown->value(), 500);
  EXPECT_TRUE(shown->isModal());
  ui.closeProgress();
  EXPECT_EQ(bar(), nullptr);
}

TEST(QtUiFilter, FilterListsBecomeQtFilters) {
  EXPECT_EQ(qtFileFilter("*.jpg;*.bmp;*.ps;*.hpg;*.tif"),
            "Files (*.jpg *.bmp *.ps *.hpg *.tif);;All files (*)");
  EXPECT_EQ(qtFileFilter("*.ac"), "Files (*.ac);;All files (*)");
  EXPECT_EQ(qtFileFilter(""), "All files (*)");
}

}  // namespace
}  // namespace velmora::platform::qt

namespace velmora::platform::qt {
namespace {

// Playback says why when there is no audio output (a headless test machine), and starts otherwise
// (a null sink or a sound card), returning at once either way.
TEST(QtUiPlayback, NoDeviceGivesTheMessageAndADeviceTakesTheSound) {
  test_support::qtApplication();
  QtUi ui;
  AudioClip clip;
  clip.samples.assign(4800, 0.0f);
  clip.samples[100] = 0.5f;
  const auto why = ui.play(clip);
  if (QMediaDevices::defaultAudioOutput().isNull()) {
    ASSERT_TRUE(why);
    EXPECT_EQ(*why, kNoAudioOutput);
  } else {
    EXPECT_FALSE(why) << *why;
  }
  EXPECT_EQ(ui.play(clip), why);  // a second clip replaces the first
}

}  // namespace
}  // namespace velmora::platform::qt
