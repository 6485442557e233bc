#include "platform/model/graphics_properties.h"

#include <algorithm>
#include <array>
#include <string>

#include "platform/model/numbers.h"

namespace velmora::platform::properties {

std::string_view lowered(std::string_view name, std::string& buffer) {
  bool upper = false;
  for (char c : name) upper |= static_cast<unsigned char>(c - 'A') < 26;
  if (!upper) return name;
  buffer = lower(name);
  return buffer;
}

const Value* findIn(const PropertyBag& props, const PropDef& def) {
  return props.find(def.name);
}

const Value& store(PropertyBag& props, std::string_view name, Value&& v) {
  return props.store(name, std::move(v));
}

Value rgb(double r, double g, double b) {
  return Value::row({r, g, b});
}
namespace {
Value none() {
  return Value(std::string("none"));
}
}  // namespace
Value handleNone() {
  return Value(Matrix{});
}

const std::vector<PropDef>& commonProps() {
  static const std::vector<PropDef> defs = {
      {"tag", Kind::Text, Value("")},
      {"visible", Kind::OnOff, Value("on")},
      {"hittest", Kind::OnOff, Value("on")},
      {"buttondownfcn", Kind::Text, Value("")},
      {"uicontextmenu", Kind::Handle, handleNone()},
      {"interruptible", Kind::OnOff, Value("on")},
      {"busyaction", Kind::Text, Value("queue")},
      {"handlevisibility", Kind::Text, Value("on")},
      {"selected", Kind::OnOff, Value("off")},
      {"selectionhighlight", Kind::OnOff, Value("on")},
      {"clipping", Kind::OnOff, Value("on")},
      {"deletefcn", Kind::Text, Value("")},
      {"createfcn", Kind::Text, Value("")},
  };
  return defs;
}

const std::vector<PropDef>& typeProps(ObjectType t) {
  static const std::vector<PropDef> root = {
      {"tag", Kind::Text, Value("")},
      {"currentfigure", Kind::Handle, handleNone()},
      {"screensize", Kind::Matrix, Value::row({1, 1, 1280, 1024})},
      {"units", Kind::Text, Value("pixels")},
      {"showhiddenhandles", Kind::OnOff, Value("off")},
  };
  static const std::vector<PropDef> figure = {
      {"name", Kind::Text, Value("")},
      {"color", Kind::Color, rgb(0.8, 0.8, 0.8)},
      {"colormap", Kind::Matrix, Value(Matrix{})},
      {"position", Kind::Matrix, Value::row({100, 100, 560, 420})},
      {"units", Kind::Text, Value("pixels")},
      {"resize", Kind::OnOff, Value("on")},
      {"menubar", Kind::Text, Value("figure")},
      {"numbertitle", Kind::OnOff, Value("on")},
      {"renderer", Kind::Text, Value("painters")},
      {"windowbuttondownfcn", Kind::Text, Value("")},
      {"windowbuttonmotionfcn", Kind::Text, Value("")},
      {"windowbuttonupfcn", Kind::Text, Value("")},
      {"keypressfcn", Kind::Text, Value("")},
      {"closerequestfcn", Kind::Text, Value("")},
      {"pointer", Kind::Text, Value("arrow")},
      {"selectiontype", Kind::Text, Value("normal")},
      {"currentaxes", Kind::Handle, handleNone()},
      {"currentobject", Kind::Handle, handleNone()},
      {"currentpoint", Kind::Matrix, Value::row({0, 0})},
      {"currentcharacter", Kind::Text, Value("")},
      {"paperunits", Kind::Text, Value("inches")},
      {"paperposition", Kind::Matrix, Value::row({0.25, 2.5, 8, 6})},
      {"paperorientation", Kind::Text, Value("portrait")},
      {"papertype", Kind::Text, Value("a4")},
      {"inverthardcopy", Kind::OnOff, Value("on")},
      {"windowstyle", Kind::Text, Value("normal")},
      {"nextplot", Kind::Text, Value("add")},
      {"doublebuffer", Kind::OnOff, Value("on")},
      {"integerhandle", Kind::OnOff, Value("on")},
      // Defaults given to the controls created in this window.
      {"defaultuicontrolfontname", Kind::Text, Value("default")},
      {"defaultuicontrolfontsize", Kind::Number, Value(8.0)},
      {"defaultuicontrolfontangle", Kind::Text, Value("normal")},
      {"defaultuicontrolfontweight", Kind::Text, Value("normal")},
      {"defaultuicontrolforegroundcolor", Kind::Color, rgb(0, 0, 0)},
      {"defaultuicontrolbackgroundcolor", Kind::Color, rgb(0.8, 0.8, 0.8)},
      {"defaultuicontrolinterruptible", Kind::OnOff, Value("on")},
      {"defaultuicontrolbusyaction", Kind::Text, Value("queue")},
  };
  static const std::vector<PropDef> axes = {
      {"position", Kind::Matrix, Value::row({0.13, 0.11, 0.775, 0.815})},
      {"units", Kind::Text, Value("normalized")},
      {"xlim", Kind::Matrix, Value::row({0, 1})},
      {"ylim", Kind::Matrix, Value::row({0, 1})},
      {"zlim", Kind::Matrix, Value::row({-1, 1})},
      {"xlimmode", Kind::Text, Value("auto")},
      {"ylimmode", Kind::Text, Value("auto")},
      {"zlimmode", Kind::Text, Value("auto")},
      {"clim", Kind::Matrix, Value::row({0, 1})},
      {"climmode", Kind::Text, Value("auto")},
      {"box", Kind::OnOff, Value("off")},
      {"xtick", Kind::Matrix, Value::row({0, 0.2, 0.4, 0.6, 0.8, 1})},
      {"ytick", Kind::Matrix, Value::row({0, 0.2, 0.4, 0.6, 0.8, 1})},
      {"xtickmode", Kind::Text, Value("auto")},
      {"ytickmode", Kind::Text, Value("auto")},
      {"xticklabel", Kind::Any, Value(Matrix{})},
      {"yticklabel", Kind::Any, Value(Matrix{})},
      {"xticklabelmode", Kind::Text, Value("auto")},
      {"yticklabelmode", Kind::Text, Value("auto")},
      {"xaxislocation", Kind::Text, Value("bottom")},
      {"yaxislocation", Kind::Text, Value("left")},
      {"ticklength", Kind::Matrix, Value::row({0.01, 0.025})},
      {"dataaspectratio", Kind::Matrix, Value::row({1, 1, 1})},
      {"dataaspectratiomode", Kind::Text, Value("auto")},
      {"nextplot", Kind::Text, Value("replace")},
      {"currentpoint", Kind::Matrix, Value(Matrix::zeros(2, 3))},
      {"color", Kind::Color, rgb(1, 1, 1)},
      {"xcolor", Kind::Color, rgb(0, 0, 0)},
      {"ycolor", Kind::Color, rgb(0, 0, 0)},
      {"fontsize", Kind::Number, Value(10.0)},
      {"fontname", Kind::Text, Value("Helvetica")},
      {"fontweight", Kind::Text, Value("normal")},
      {"fontangle", Kind::Text, Value("normal")},
      {"xgrid", Kind::OnOff, Value("off")},
      {"ygrid", Kind::OnOff, Value("off")},
      {"xdir", Kind::Text, Value("normal")},
      {"ydir", Kind::Text, Value("normal")},
      {"linewidth", Kind::Number, Value(0.5)},
      {"layer", Kind::Text, Value("bottom")},
      {"title", Kind::Handle, handleNone()},
      {"xlabel", Kind::Handle, handleNone()},
      {"ylabel", Kind::Handle, handleNone()},
      {"drawmode", Kind::Text, Value("normal")},
  };
  static const std::vector<PropDef> line = {
      {"xdata", Kind::Matrix, Value::row({0, 1})}, {"ydata", Kind::Matrix, Value::row({0, 1})},
      {"zdata", Kind::Matrix, Value(Matrix{})},    {"color", Kind::Color, rgb(0, 0, 1)},
      {"linestyle", Kind::Text, Value("-")},       {"linewidth", Kind::Number, Value(0.5)},
      {"marker", Kind::Text, Value("none")},       {"markersize", Kind::Number, Value(6.0)},
      {"markerfacecolor", Kind::Color, none()},    {"markeredgecolor", Kind::Color, Value("auto")},
      {"erasemode", Kind::Text, Value("normal")},
  };
  static const std::vector<PropDef> surface = {
      {"xdata", Kind::Matrix, Value(Matrix{})},      {"ydata", Kind::Matrix, Value(Matrix{})},
      {"zdata", Kind::Matrix, Value(Matrix{})},      {"cdata", Kind::Matrix, Value(Matrix{})},
      {"facecolor", Kind::Color, Value("flat")},     {"edgecolor", Kind::Color, rgb(0, 0, 0)},
      {"linestyle", Kind::Text, Value("-")},         {"linewidth", Kind::Number, Value(0.5)},
      {"marker", Kind::Text, Value("none")},         {"markersize", Kind::Number, Value(6.0)},
      {"faceoffsetbias", Kind::Number, Value(0.0)},  {"facealpha", Kind::Number, Value(1.0)},
      {"cdatamapping", Kind::Text, Value("scaled")}, {"erasemode", Kind::Text, Value("normal")},
  };
  static const std::vector<PropDef> patch = {
      {"xdata", Kind::Matrix, Value(Matrix{})},   {"ydata", Kind::Matrix, Value(Matrix{})},
      {"zdata", Kind::Matrix, Value(Matrix{})},   {"cdata", Kind::Matrix, Value(Matrix{})},
      {"facecolor", Kind::Color, rgb(0, 0, 0)},   {"edgecolor", Kind::Color, rgb(0, 0, 0)},
      {"linestyle", Kind::Text, Value("-")},      {"linewidth", Kind::Number, Value(0.5)},
      {"marker", Kind::Text, Value("none")},      {"markersize", Kind::Number, Value(6.0)},
      {"facealpha", Kind::Number, Value(1.0)},    {"cdatamapping", Kind::Text, Value("scaled")},
      {"erasemode", Kind::Text, Value("normal")},
  };
  static const std::vector<PropDef> text = {
      {"string", Kind::Any, Value("")},
      {"position", Kind::Matrix, Value::row({0, 0, 0})},
      {"units", Kind::Text, Value("data")},
      {"fontsize", Kind::Number, Value(10.0)},
      {"fontname", Kind::Text, Value("Helvetica")},
      {"fontweight", Kind::Text, Value("normal")},
      {"fontangle", Kind::Text, Value("normal")},
      {"horizontalalignment", Kind::Text, Value("left")},
      {"verticalalignment", Kind::Text, Value("middle")},
      {"interpreter", Kind::Text, Value("tex")},
      {"color", Kind::Color, rgb(0, 0, 0)},
      {"rotation", Kind::Number, Value(0.0)},
      {"backgroundcolor", Kind::Color, none()},
      {"edgecolor", Kind::Color, none()},
      {"margin", Kind::Number, Value(2.0)},
      {"erasemode", Kind::Text, Value("normal")},
  };
  static const std::vector<PropDef> image = {
      {"cdata", Kind::Matrix, Value(Matrix{})},    {"xdata", Kind::Matrix, Value::row({1, 1})},
      {"ydata", Kind::Matrix, Value::row({1, 1})}, {"cdatamapping", Kind::Text, Value("direct")},
      {"erasemode", Kind::Text, Value("normal")},
  };
  static const std::vector<PropDef> uicontrol = {
      {"style", Kind::Text, Value("pushbutton")},
      {"string", Kind::Any, Value("")},
      {"position", Kind::Matrix, Value::row({20, 20, 60, 20})},
      {"units", Kind::Text, Value("pixels")},
      {"value", Kind::Matrix, Value(0.0)},
      {"min", Kind::Number, Value(0.0)},
      {"max", Kind::Number, Value(1.0)},
      {"enable", Kind::Text, Value("on")},
      {"tooltipstring", Kind::Text, Value("")},
      {"callback", Kind::Text, Value("")},
      {"backgroundcolor", Kind::Color, rgb(0.8, 0.8, 0.8)},
      {"foregroundcolor", Kind::Color, rgb(0, 0, 0)},
      {"fontname", Kind::Text, Value("default")},
      {"fontsize", Kind::Number, Value(8.0)},
      {"fontweight", Kind::Text, Value("normal")},
      {"fontangle", Kind::Text, Value("normal")},
      {"horizontalalignment", Kind::Text, Value("center")},
      {"cdata", Kind::Matrix, Value(Matrix{})},
      {"listboxtop", Kind::Number, Value(1.0)},
      {"sliderstep", Kind::Matrix, Value::row({0.01, 0.1})},
  };
  static const std::vector<PropDef> uimenu = {
      {"label", Kind::Text, Value("")},
      {"checked", Kind::OnOff, Value("off")},
      {"separator", Kind::OnOff, Value("off")},
      {"enable", Kind::OnOff, Value("on")},
      {"callback", Kind::Text, Value("")},
      {"accelerator", Kind::Text, Value("")},
      {"foregroundcolor", Kind::Color, rgb(0, 0, 0)},
  };
  static const std::vector<PropDef> uicontextmenu = {
      {"callback", Kind::Text, Value("")},
  };
  switch (t) {
    case ObjectType::Root:
      return root;
    case ObjectType::Figure:
      return figure;
    case ObjectType::Axes:
      return axes;
    case ObjectType::Line:
      return line;
    case ObjectType::Surface:
      return surface;
    case ObjectType::Patch:
      return patch;
    case ObjectType::Text:
      return text;
    case ObjectType::Image:
      return image;
    case ObjectType::UiControl:
      return uicontrol;
    case ObjectType::UiMenu:
      return uimenu;
    case ObjectType::UiContextMenu:
      return uicontextmenu;
  }
  return root;
}

// Every property access looks its name up here. Names are short and few share a length: the
// candidates of that length are compared directly, which beats hashing the name. A type's own
// properties come before the common ones.
const PropDef* findDef(ObjectType t, std::string_view lowered) {
  constexpr std::size_t kTypes = static_cast<std::size_t>(ObjectType::UiContextMenu) + 1;
  constexpr std::size_t kLengths = 48;
  using Index = std::array<std::vector<const PropDef*>, kLengths>;
  static const std::array<Index, kTypes> indexes = [] {
    std::array<Index, kTypes> out;
    for (std::size_t i = 0; i < kTypes; ++i) {
      const auto type = static_cast<ObjectType>(i);
      const auto add = [&](const PropDef& d) {
        auto& list = out[i][std::min(d.name.size(), kLengths - 1)];
        if (std::none_of(list.begin(), list.end(), [&](const PropDef* p) { return p->name == d.name; }))
          list.push_back(&d);
      };
      for (const PropDef& d : typeProps(type)) add(d);
      if (type != ObjectType::Root) {
        for (const PropDef& d : commonProps()) add(d);
      }
    }
    return out;
  }();
  if (lowered.empty()) return nullptr;
  for (const PropDef* d : indexes[static_cast<std::size_t>(t)][std::min(lowered.size(), kLengths - 1)]) {
    if (d->name.front() == lowered.front() && d->name == lowered) return d;  // most differ at once
  }
  return nullptr;
}

}  // namespace velmora::platform::properties
