// The layout reader: the classic form-file text shape.
//
//   object Form1: TForm1
//     Caption = 'Text' + #13#10 + 'more'      strings: '' for a quote, #NNN a
//     Font.Height = -11                       code point (UTF-8 in the result)
//     Events = [evRxChar, evTxEmpty]          sets, identifiers, integers
//     Items.Strings = ( 'a' 'b' )             lists, { hex } binary data
//     object Button1: TButton ... end         nested components
//   end
//
// Runs on the thread that constructs the root (the user-interface thread for
// forms). Every component stays in csLoading until the whole layout has been
// read and the references resolved; Loaded then runs in creation order.
#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "Classes.h"
#include "Resources.h"

namespace vcl {

namespace {

bool SameName(const std::string& a, const std::string& b) { return UpperCase(a) == UpperCase(b); }

void AppendUtf8(std::string& out, unsigned long cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The property being written, for the messages of deferred references
// (which fail after the property's own write has returned).
struct PropertyContext {
  std::string component;
  std::string property;
};
thread_local const PropertyContext* tWriting = nullptr;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  return std::toupper(static_cast<unsigned char>(c)) - 'A' + 10;
}

}  // namespace

// The reader's parser and the steps of one ReadRoot; a friend of TReader.
struct ReaderImpl {
  TReader& reader;
  const std::string& text;
  std::size_t pos = 0;
  int line = 1;
  PropertyContext context;

  ReaderImpl(TReader& r, const std::string& t) : reader(r), text(t) {}

  [[noreturn]] void SyntaxError(const std::string& what) const {
    throw EReadError(Format("Layout line %d: %s", line, what.c_str()));
  }

  // --- lexer ----------------------------------------------------------------
  void SkipBlanks() {
    while (pos < text.size()) {
      const char c = text[pos];
      if (c == '\n') {
        ++line;
        ++pos;
      } else if (c == ' ' || c == '\t' || c == '\r') {
        ++pos;
      } else if (c == '/' && pos + 1 < text.size() && text[pos + 1] == '/') {
        while (pos < text.size() && text[pos] != '\n') ++pos;
      } else {
        break;
      }
    }
  }

  bool AtEnd() {
    SkipBlanks();
    return pos >= text.size();
  }

  char Peek() {
    SkipBlanks();
    return pos < text.size() ? text[pos] : '\0';
  }

  static bool IdentStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
  }
  static bool IdentChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
  }

  // An identifier, with dots between parts when `dotted`.
  std::string Ident(bool dotted) {
    SkipBlanks();
    if (pos >= text.size() || !IdentStart(text[pos])) SyntaxError("identifier expected");
    const std::size_t start = pos;
    while (pos < text.size() &&
           (IdentChar(text[pos]) ||
            (dotted && text[pos] == '.' && pos + 1 < text.size() && IdentStart(text[pos + 1]))))
      ++pos;
    return text.substr(start, pos - start);
  }

  void Expect(char c) {
    if (Peek() != c) SyntaxError(std::string("'") + c + "' expected");
    ++pos;
  }

  // 'abc''d' #13#10 'x': the pieces written without blanks between them.
  std::string StringPieces() {
    std::string out;
    bool any = false;
    while (pos < text.size()) {
      const char c = text[pos];
      if (c == '\'') {
        ++pos;
        for (;;) {
          if (pos >= text.size() || text[pos] == '\n') SyntaxError("unterminated string");
          if (text[pos] == '\'') {
            if (pos + 1 < text.size() && text[pos + 1] == '\'') {
              out += '\'';
              pos += 2;
              continue;
            }
            ++pos;
            break;
          }
          out += text[pos++];
        }
        any = true;
      } else if (c == '#') {
        ++pos;
        unsigned long cp = 0;
        const std::size_t start = pos;
        if (pos < text.size() && text[pos] == '$') {
          ++pos;
          while (pos < text.size() && std::isxdigit(static_cast<unsigned char>(text[pos])))
            cp = cp * 16 + static_cast<unsigned long>(HexDigit(text[pos++]));
        } else {
          while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])))
            cp = cp * 10 + static_cast<unsigned long>(text[pos++] - '0');
        }
        if (pos == start || cp > 0x10FFFF) SyntaxError("character code expected after '#'");
        AppendUtf8(out, cp);
        any = true;
      } else {
        break;
      }
    }
    if (!any) SyntaxError("string expected");
    return out;
  }

  // A string with '+' joining pieces, also across lines.
  std::string StringValue() {
    std::string out = StringPieces();
    while (Peek() == '+') {
      ++pos;
      SkipBlanks();
      out += StringPieces();
    }
    return out;
  }

  TFormValue Value() {
    TFormValue v;
    const char c = Peek();
    if (c == '\'' || c == '#') {
      v.kind = TFormValue::Kind::String;
      v.text = StringValue();
    } else if (c == '[') {
      ++pos;
      v.kind = TFormValue::Kind::Set;
      if (Peek() != ']') {
        for (;;) {
          v.set.push_back(Ident(false));
          if (Peek() == ',') {
            ++pos;
            continue;
          }
          break;
        }
      }
      Expect(']');
    } else if (c == '(') {
      ++pos;
      v.kind = TFormValue::Kind::List;
      while (Peek() != ')') {
        if (AtEnd()) SyntaxError("')' expected");
        v.items.push_back(Value());
      }
      ++pos;
    } else if (c == '{') {
      ++pos;
      v.kind = TFormValue::Kind::Binary;
      int high = -1;
      for (;;) {
        const char h = Peek();
        if (h == '}') {
          ++pos;
          break;
        }
        if (!std::isxdigit(static_cast<unsigned char>(h))) SyntaxError("hex digit expected");
        ++pos;
        const int d = HexDigit(h);
        if (high < 0) {
          high = d;
        } else {
          v.text += static_cast<char>(high * 16 + d);
          high = -1;
        }
      }
      if (high >= 0) SyntaxError("odd number of hex digits");
    } else if (c == '-' || c == '+' || c == '$' || std::isdigit(static_cast<unsigned char>(c))) {
      Number(v);
    } else if (IdentStart(c)) {
      v.kind = TFormValue::Kind::Ident;
      v.text = Ident(true);
    } else {
      SyntaxError("value expected");
    }
    return v;
  }

  void Number(TFormValue& v) {
    const std::size_t start = pos;
    bool negative = false;
    if (text[pos] == '-' || text[pos] == '+') negative = text[pos++] == '-';
    if (pos < text.size() && text[pos] == '$') {
      ++pos;
      const std::size_t digits = pos;
      while (pos < text.size() && std::isxdigit(static_cast<unsigned char>(text[pos]))) ++pos;
      if (pos == digits) SyntaxError("hex number expected");
      const unsigned long long u = std::strtoull(text.substr(digits, pos - digits).c_str(), nullptr, 16);
      v.kind = TFormValue::Kind::Integer;
      v.integer = negative ? -static_cast<long long>(u) : static_cast<long long>(u);
      return;
    }
    const std::size_t digits = pos;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) ++pos;
    if (pos == digits) SyntaxError("number expected");
    bool isFloat = false;
    if (pos < text.size() && text[pos] == '.' && pos + 1 < text.size() &&
        std::isdigit(static_cast<unsigned char>(text[pos + 1]))) {
      isFloat = true;
      ++pos;
      while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) ++pos;
    }
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
      isFloat = true;
      ++pos;
      if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) ++pos;
      while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) ++pos;
    }
    const std::string literal = text.substr(start, pos - start);
    if (isFloat) {
      v.kind = TFormValue::Kind::Float;
      v.number = std::strtod(literal.c_str(), nullptr);
    } else {
      v.kind = TFormValue::Kind::Integer;
      v.integer = std::strtoll(literal.c_str(), nullptr, 10);
    }
  }

  // --- properties -------------------------------------------------------------
  void WriteProperty(TComponent* component, const std::string& name, const TFormValue& value) {
    context = {component->Name(), name};
    tWriting = &context;
    struct Reset {
      ~Reset() { tWriting = nullptr; }
    } reset;
    try {
      TObject* target = component;
      std::string rest = name;
      for (;;) {
        const std::size_t dot = rest.find('.');
        const std::string part = rest.substr(0, dot);
        const TPropInfo* prop = target->ClassInfo()->FindProp(part);
        if (dot == std::string::npos) {
          if (!prop) {
            // A string list's content: Items.Strings = ( ... ).
            if (auto* strings = dynamic_cast<TStrings*>(target); strings && SameName(part, "Strings")) {
              if (value.kind != TFormValue::Kind::List) throw EConvertError("Invalid property value");
              strings->BeginUpdate();
              strings->Clear();
              for (const auto& item : value.items) strings->Add(ValueToString(item));
              strings->EndUpdate();
              return;
            }
            throw EReadError("Property " + part + " does not exist");
          }
          prop->write(target, value, reader);
          return;
        }
        if (!prop) throw EReadError("Property " + part + " does not exist");
        if (!prop->subObject) throw EReadError("Property " + part + " has no properties of its own");
        TPersistent* sub = prop->subObject(target);
        if (!sub) throw EReadError("Property " + part + " is not set");
        target = sub;
        rest = rest.substr(dot + 1);
      }
    } catch (const Exception& e) {
      throw EReadError("Error reading " + component->Name() + "." + name + ": " + e.Message);
    } catch (const std::exception& e) {
      throw EReadError("Error reading " + component->Name() + "." + name + ": " + e.what());
    }
  }

  // --- components ---------------------------------------------------------------
  // After "object": "Name: Class"; reads the body into `component` (the
  // root) or a new component of that class nested in `parent`.
  void ReadObject(TComponent* parent) {
    const std::string name = Ident(false);
    Expect(':');
    const std::string className = Ident(false);
    TComponent* component = nullptr;
    if (!parent) {
      component = reader.root_;
      if (!SameName(component->ClassName(), className) &&
          !component->ClassInfo()->InheritsFrom(FindClass(className)))
        throw EReadError("Layout of " + className + " cannot be read into a " +
                         component->ClassName());
      component->SetComponentState(csLoading | csReading, true);
      component->SetName(name);
      reader.loaded_.push_back(component);
    } else {
      const TClassInfo* info = FindClass(className);
      if (!info || !info->Create())
        throw EReadError("Error reading " + name + ": Class " + className + " not found");
      if (reader.root_->FindComponent(name))
        throw EReadError("A component named " + name + " already exists");
      component = info->Create()(reader.root_);
      reader.loaded_.push_back(component);
      try {
        component->SetComponentState(csLoading | csReading, true);
        component->SetName(name);
        if (auto& hook = TReader::SetParentHook()) hook(component, parent);
        ReadBody(component);
      } catch (...) {
        // The component that failed goes, with the components created
        // inside it (after it in creation order); the others stay with
        // their owner.
        auto& loaded = reader.loaded_;
        const auto first = std::find(loaded.begin(), loaded.end(), component);
        std::vector<TComponent*> built(first, loaded.end());
        loaded.erase(first, loaded.end());
        for (auto it = built.rbegin(); it != built.rend(); ++it) delete *it;
        throw;
      }
      return;
    }
    ReadBody(component);
  }

  void ReadBody(TComponent* component) {
    TComponent* previous = reader.current_;
    reader.current_ = component;
    for (;;) {
      if (AtEnd()) SyntaxError("'end' expected");
      const std::string word = Ident(true);
      const std::string upper = UpperCase(word);
      if (upper == "END") break;
      if (upper == "OBJECT" || upper == "INHERITED" || upper == "INLINE") {
        ReadObject(component);
        continue;
      }
      Expect('=');
      const TFormValue value = Value();
      WriteProperty(component, word, value);
    }
    reader.current_ = previous;
  }
};

// --- TReader --------------------------------------------------------------------

TReader::TReader(TComponent* root) : root_(root) {}

std::function<void(TComponent*, TComponent*)>& TReader::SetParentHook() {
  static std::function<void(TComponent*, TComponent*)> hook;
  return hook;
}

void TReader::ReadRoot(const std::string& text) {
  ReaderImpl impl(*this, text);
  fixups_.clear();
  loaded_.clear();
  const std::string first = impl.Ident(false);
  const std::string upper = UpperCase(first);
  if (upper != "OBJECT" && upper != "INHERITED") impl.SyntaxError("'object' expected");
  impl.ReadObject(nullptr);
  if (!impl.AtEnd()) impl.SyntaxError("end of layout expected");

  // References name components that may come later in the layout.
  std::vector<std::function<void()>> fixups;
  fixups.swap(fixups_);
  for (auto& fixup : fixups) fixup();

  std::vector<TComponent*> loaded;
  loaded.swap(loaded_);
  for (TComponent* c : loaded) c->SetComponentState(csReading, false);
  for (TComponent* c : loaded) c->Loaded();
}

void DeferComponentReference(TReader& reader, TObject* instance, const std::string& name,
                             std::function<void(TComponent*)> assign) {
  (void)instance;
  // The message names the component and the property being written now;
  // the reference itself is resolved once the whole layout has been read.
  const std::string where =
      tWriting ? tWriting->component + "." + tWriting->property
               : (reader.Current() ? reader.Current()->Name() : std::string("?"));
  TComponent* root = reader.Root();
  reader.AddFixup([root, name, where, assign = std::move(assign)]() {
    TComponent* target = nullptr;
    if (!SameName(name, "nil")) {
      target = SameName(root->Name(), name) ? root : root->FindComponent(name);
      if (!target)
        throw EReadError("Error reading " + where + ": Invalid reference to " + name);
    }
    try {
      assign(target);
    } catch (const Exception& e) {
      throw EReadError("Error reading " + where + ": " + e.Message);
    } catch (const std::exception& e) {
      throw EReadError("Error reading " + where + ": " + e.what());
    }
  });
}

std::any BindHandler(TReader& reader, const std::string& name) {
  TComponent* root = reader.Root();
  const TMethodInfo* method = root->ClassInfo()->FindMethod(name);
  if (!method) throw EReadError("Method " + name + " not found in " + root->ClassName());
  return method->make(root);
}

void ReadComponentRes(const std::string& resourceName, TComponent* root) {
  const std::string* text = FindResource(resourceName);
  if (!text) throw EResNotFound("Resource " + resourceName + " not found");
  TReader reader(root);
  reader.ReadRoot(*text);
}

}  // namespace vcl
