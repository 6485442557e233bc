#include "platform/model/callbacks.h"

#include <cctype>
#include <memory>
#include <optional>

#include "platform/model/error.h"

namespace velmora::platform {

namespace {

// A tiny expression tree: a quoted text, a name, or a call of a name with arguments.
struct Expr {
  enum class Kind { Text, Name, Call } kind = Kind::Name;
  std::string text;  // the text, the name, or the called name
  std::vector<Expr> args;
};

class Parser {
 public:
  explicit Parser(std::string_view s) : s_(s) {}

  std::vector<Expr> statements() {
    std::vector<Expr> out;
    skipBlanks();
    while (pos_ < s_.size()) {
      if (s_[pos_] == ';' || s_[pos_] == ',') {  // empty statement
        ++pos_;
        skipBlanks();
        continue;
      }
      out.push_back(expression());
      skipBlanks();
      if (pos_ < s_.size()) {
        if (s_[pos_] != ';' && s_[pos_] != ',') fail();
        ++pos_;
        skipBlanks();
      }
    }
    return out;
  }

 private:
  [[noreturn]] void fail() { throw Error("unrecognised callback: " + std::string(s_)); }

  void skipBlanks() {
    while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
  }

  Expr expression() {
    skipBlanks();
    if (pos_ >= s_.size()) fail();
    if (s_[pos_] == '\'') return quoted();
    if (!std::isalpha(static_cast<unsigned char>(s_[pos_]))) fail();
    Expr e;
    const std::size_t start = pos_;
    while (pos_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '_'))
      ++pos_;
    e.text = std::string(s_.substr(start, pos_ - start));
    skipBlanks();
    if (pos_ < s_.size() && s_[pos_] == '(') {
      e.kind = Expr::Kind::Call;
      ++pos_;
      skipBlanks();
      if (pos_ < s_.size() && s_[pos_] == ')') {
        ++pos_;
        return e;
      }
      for (;;) {
        e.args.push_back(expression());
        skipBlanks();
        if (pos_ >= s_.size()) fail();
        if (s_[pos_] == ')') {
          ++pos_;
          break;
        }
        if (s_[pos_] != ',') fail();
        ++pos_;
      }
    }
    return e;
  }

  Expr quoted() {
    Expr e;
    e.kind = Expr::Kind::Text;
    ++pos_;  // opening quote
    for (;;) {
      if (pos_ >= s_.size()) fail();
      if (s_[pos_] == '\'') {
        if (pos_ + 1 < s_.size() && s_[pos_ + 1] == '\'') {  // doubled quote inside the text
          e.text.push_back('\'');
          pos_ += 2;
          continue;
        }
        ++pos_;
        return e;
      }
      e.text.push_back(s_[pos_++]);
    }
  }

  std::string_view s_;
  std::size_t pos_ = 0;
};

std::optional<CallbackTarget> targetOf(const Expr& e) {
  if (e.kind == Expr::Kind::Call && !e.args.empty()) return std::nullopt;
  if (e.text == "gcf") return CallbackTarget::Gcf;
  if (e.text == "gcbo") return CallbackTarget::Gcbo;
  if (e.text == "gcbf") return CallbackTarget::Gcbf;
  return std::nullopt;
}

}  // namespace

std::vector<CallbackStatement> parseCallback(std::string_view text) {
  const auto fail = [&]() -> Error { return Error("unrecognised callback: " + std::string(text)); };
  std::vector<CallbackStatement> out;
  for (const Expr& e : Parser(text).statements()) {
    CallbackStatement st;
    if (e.kind != Expr::Kind::Call && e.text != "velmoracopy") throw fail();
    if (e.text == "velmoracopy") {
      st.kind = CallbackStatement::Kind::Dispatch;
      for (const Expr& a : e.args) {
        if (a.kind != Expr::Kind::Text) throw fail();
        st.args.push_back(a.text);
      }
    } else if (e.text == "set") {
      if (e.args.size() != 3 || e.args[1].kind != Expr::Kind::Text || e.args[2].kind != Expr::Kind::Text)
        throw fail();
      auto t = targetOf(e.args[0]);
      if (!t) throw fail();
      st.kind = CallbackStatement::Kind::Set;
      st.target = *t;
      st.prop = e.args[1].text;
      st.args = {e.args[2].text};
    } else if (e.text == "delete") {
      if (e.args.size() != 1) throw fail();
      auto t = targetOf(e.args[0]);
      if (!t) throw fail();
      st.kind = CallbackStatement::Kind::Delete;
      st.target = *t;
    } else if (e.text == "guidata") {
      // guidata(gcf, get(gcbo,'value')): the clicked control's property goes into the window's slot.
      if (e.args.size() != 2 || targetOf(e.args[0]) != CallbackTarget::Gcf) throw fail();
      const Expr& g = e.args[1];
      if (g.kind != Expr::Kind::Call || g.text != "get" || g.args.size() != 2 ||
          targetOf(g.args[0]) != CallbackTarget::Gcbo || g.args[1].kind != Expr::Kind::Text) {
        throw fail();
      }
      st.kind = CallbackStatement::Kind::GuidataFromValue;
      st.target = CallbackTarget::Gcbo;
      st.prop = g.args[1].text;
    } else {
      throw fail();
    }
    out.push_back(std::move(st));
  }
  return out;
}

}  // namespace velmora::platform
